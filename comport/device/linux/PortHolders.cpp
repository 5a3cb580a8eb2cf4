// Who else holds a serial device open, as /proc shows it: every process's
// open descriptors are links under /proc/<pid>/fd; one that leads to the
// device's node (the same character device number) holds it.
#include <velt/comport/device/PortFacts.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace device {

namespace {

// The device number of each path, 0 for a path that is no character device.
std::vector<dev_t> DeviceNumbers(const std::vector<std::string>& Paths)
{
    std::vector<dev_t> numbers;
    numbers.reserve(Paths.size());
    for (const std::string& path : Paths) {
        struct stat info {};
        numbers.push_back(stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) ? info.st_rdev : 0);
    }
    return numbers;
}

// A process names itself: its name reaches tables and messages, so no
// control character of its choosing goes with it.
std::string ProgramName(const std::string& ProcDir)
{
    std::ifstream in(ProcDir + "/comm");
    std::string name;
    std::getline(in, name);
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return name.empty() ? "?" : name;
}

// Which of Devices the descriptor Name in the open directory FdDir leads to,
// or -1. Only links to a path are looked at: sockets, pipes and the like are
// no device node.
int DeviceOfDescriptor(int FdDir, const char* Name, const std::vector<dev_t>& Devices)
{
    char target[2];
    if (readlinkat(FdDir, Name, target, sizeof target) <= 0 || target[0] != '/')
        return -1;
    struct stat info {};
    if (fstatat(FdDir, Name, &info, 0) != 0 || !S_ISCHR(info.st_mode))
        return -1;
    for (size_t i = 0; i < Devices.size(); ++i)
        if (Devices[i] != 0 && Devices[i] == info.st_rdev)
            return static_cast<int>(i);
    return -1;
}

// Notes process Pid in the holders of every device it has open; counts it
// as unreadable when this user may not see its descriptors.
void ScanProcess(int Pid, const std::vector<dev_t>& Devices, std::vector<PortHolders>& Holders)
{
    const std::string procDir = "/proc/" + std::to_string(Pid);
    DIR* fds = opendir((procDir + "/fd").c_str());
    if (fds == nullptr) {
        if (errno == EACCES || errno == EPERM)
            for (PortHolders& holders : Holders)
                ++holders.Unreadable;
        return; // or the process has ended meanwhile
    }
    std::vector<bool> holds(Devices.size(), false);
    while (const dirent* entry = readdir(fds))
        if (const int device = DeviceOfDescriptor(dirfd(fds), entry->d_name, Devices); device >= 0)
            holds[static_cast<size_t>(device)] = true;
    closedir(fds);
    std::string program;
    for (size_t i = 0; i < holds.size(); ++i) {
        if (!holds[i])
            continue;
        if (program.empty())
            program = ProgramName(procDir);
        Holders[i].Processes.push_back({Pid, program});
    }
}

// The process id a /proc entry stands for, or 0 for another entry.
int ProcessIdOf(const char* Name)
{
    char* end = nullptr;
    const long pid = std::strtol(Name, &end, 10);
    return *Name != '\0' && *end == '\0' && pid > 0 ? static_cast<int>(pid) : 0;
}

} // namespace

// The open refuses a second opener (flock, TIOCEXCL) with EBUSY.
bool IsPortInUseError(int SystemErrorCode) { return SystemErrorCode == EBUSY; }

std::vector<PortHolders> FindPortHolders(const std::vector<std::string>& DevicePaths)
{
    std::vector<PortHolders> holders(DevicePaths.size());
    const std::vector<dev_t> devices = DeviceNumbers(DevicePaths);
    if (std::all_of(devices.begin(), devices.end(), [](dev_t Device) { return Device == 0; }))
        return holders; // no device node: nobody can hold one
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return holders;
    const int self = static_cast<int>(getpid());
    while (const dirent* entry = readdir(proc))
        if (const int pid = ProcessIdOf(entry->d_name); pid != 0 && pid != self)
            ScanProcess(pid, devices, holders);
    closedir(proc);
    return holders;
}

} // namespace device
