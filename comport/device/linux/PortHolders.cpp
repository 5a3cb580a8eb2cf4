// Who holds a serial device open, from /proc: each process's descriptors are
// links to what they have open. Reading another user's descriptors needs
// privileges, so those processes are only counted.
#include <velt/comport/device/PortHolders.h>

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <fstream>

#include "PortNames.h"

namespace device {
namespace {

bool IsProcessNumber(const char* Name)
{
    for (const char* c = Name; *c != '\0'; ++c)
        if (!std::isdigit(static_cast<unsigned char>(*c)))
            return false;
    return *Name != '\0';
}

std::string ProgramName(const std::string& Pid)
{
    std::ifstream comm("/proc/" + Pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// Whether a descriptor of the process leads to Device; false with Readable
// false when its descriptors may not be read.
bool HoldsDevice(const std::string& Pid, const std::string& Device, bool& Readable)
{
    const std::string folder = "/proc/" + Pid + "/fd";
    DIR* descriptors = opendir(folder.c_str());
    // A process that ended meanwhile holds nothing; only a refusal leaves it unknown.
    Readable = descriptors != nullptr || (errno != EACCES && errno != EPERM);
    if (descriptors == nullptr)
        return false;
    bool holds = false;
    while (const dirent* entry = readdir(descriptors)) {
        char target[PATH_MAX];
        const std::string link = folder + "/" + entry->d_name;
        const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
        if (length > 0 && std::string(target, static_cast<size_t>(length)) == Device) {
            holds = true;
            break;
        }
    }
    closedir(descriptors);
    return holds;
}

} // namespace

PortHolders FindPortHolders(const std::string& Port)
{
    PortHolders holders;
    const std::string path = DevicePathFor(Port);
    char resolved[PATH_MAX];
    if (path.empty() || realpath(path.c_str(), resolved) == nullptr)
        return holders;
    DIR* processes = opendir("/proc");
    if (processes == nullptr)
        return holders;
    while (const dirent* entry = readdir(processes)) {
        if (!IsProcessNumber(entry->d_name))
            continue;
        bool readable = false;
        if (HoldsDevice(entry->d_name, resolved, readable))
            holders.Named.push_back({std::atoi(entry->d_name), ProgramName(entry->d_name)});
        else if (!readable)
            ++holders.NotChecked;
    }
    closedir(processes);
    return holders;
}

} // namespace device
