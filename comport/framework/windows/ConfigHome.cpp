// The per-user settings home on Windows: the roaming application-data folder
// (%APPDATA%), where a program keeps the files it writes for its user.
#include "ConfigHome.h"
#include "PathText.h"

#include <windows.h>
#include <shlobj.h>

#include <system_error>

namespace {

std::filesystem::path KnownAppDataFolder()
{
    PWSTR folder = nullptr;
    std::filesystem::path path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &folder)))
        path = folder;
    CoTaskMemFree(folder);
    return path;
}

} // namespace

std::filesystem::path ConfigHome()
{
    // The variable first, so that a test or a portable set-up can point it
    // elsewhere; only an absolute path counts.
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetEnvironmentVariableW(L"APPDATA", buffer, MAX_PATH + 1);
    if (length > 0 && length <= MAX_PATH) {
        const std::filesystem::path fromEnvironment(buffer);
        if (fromEnvironment.is_absolute())
            return fromEnvironment;
    }
    return KnownAppDataFolder();
}

void EnsureDirectory(const std::filesystem::path& Directory)
{
    std::error_code error;
    std::filesystem::create_directories(Directory, error);
    if (error)
        throw std::system_error(error, "Cannot create " + Utf8FromPath(Directory));
    if (!std::filesystem::is_directory(Directory, error))
        throw std::system_error(error ? error : std::make_error_code(std::errc::not_a_directory),
                                Utf8FromPath(Directory));
}
