#include "ConfigHome.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace {

std::filesystem::path HomeDirectory()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    // No usable HOME (a service, a stripped environment): ask the user database.
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return "/";
}

} // namespace

std::filesystem::path ConfigHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/')
        return xdg;
    return HomeDirectory() / ".config";
}

void EnsureDirectory(const std::filesystem::path& Directory)
{
    std::filesystem::path built;
    for (const auto& part : Directory) {
        built /= part;
        if (mkdir(built.c_str(), 0700) == 0 || errno == EEXIST)
            continue;
        throw std::system_error(errno, std::generic_category(), "Cannot create " + built.string());
    }
    struct stat info {};
    if (stat(Directory.c_str(), &info) != 0)
        throw std::system_error(errno, std::generic_category(), "Cannot reach " + Directory.string());
    if (!S_ISDIR(info.st_mode))
        throw std::system_error(ENOTDIR, std::generic_category(), Directory.string());
}
