// Opening a serial line on Linux: a terminal checked before it is opened,
// exclusive use, raw line.
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <linux/magic.h>
#include <string_view>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "LineOpen.h"
#include "LineSettings.h"

namespace device {

namespace {

int TakeExclusively(int Fd)
{
    // flock binds every opener, root included, in this process or another;
    // TIOCEXCL makes the kernel refuse further opens of the tty to non-root.
    if (flock(Fd, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? EBUSY : errno;
    if (ioctl(Fd, TIOCEXCL) != 0)
        return errno;
    return 0;
}

int PrepareLine(int Fd)
{
    if (!isatty(Fd))
        return ENOTTY; // a regular file, a pipe or another character device
    if (int error = TakeExclusively(Fd))
        return error;
    return MakeLineRaw(Fd);
}

// Whether a character device is a terminal, told without opening it: the
// kernel lists every terminal device in its tty class, except the
// pseudo-terminals, which live on a file system of their own. Without sysfs
// this cannot be told, and the isatty() after the open decides alone.
bool IsTerminalDevice(int PathFd, const struct stat& Info)
{
    struct statfs fileSystem {};
    if (fstatfs(PathFd, &fileSystem) == 0 && fileSystem.f_type == DEVPTS_SUPER_MAGIC)
        return true;
    if (access("/sys/dev/char", F_OK) != 0)
        return true;
    const std::string subsystem = "/sys/dev/char/" + std::to_string(major(Info.st_rdev)) + ":" +
                                  std::to_string(minor(Info.st_rdev)) + "/subsystem";
    char target[PATH_MAX];
    const ssize_t length = readlink(subsystem.c_str(), target, sizeof target - 1);
    if (length < 0)
        return false;
    const std::string_view link(target, static_cast<size_t>(length));
    return link.size() >= 4 && link.substr(link.size() - 4) == "/tty";
}

// Opening for reading and writing can act on a device (arm a watchdog, wind
// a tape), so the object behind Path is looked at first, through a
// descriptor that grants no access, and only a terminal is then opened, as
// that very object (through /proc, so a rename in between cannot swap it).
platform::UniqueFd OpenTerminalReadWrite(const std::string& Path, int& Error)
{
    const platform::UniqueFd pathFd(open(Path.c_str(), O_PATH | O_CLOEXEC));
    if (!pathFd.Valid()) {
        Error = errno;
        return {};
    }
    struct stat info {};
    if (fstat(pathFd.Get(), &info) != 0)
        Error = errno;
    else if (!S_ISCHR(info.st_mode) || !IsTerminalDevice(pathFd.Get(), info))
        Error = ENOTTY; // a regular file, a directory, a pipe or another device
    if (Error != 0)
        return {};
    const std::string self = "/proc/self/fd/" + std::to_string(pathFd.Get());
    platform::UniqueFd fd(open(self.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        Error = errno;
    return fd;
}

} // namespace

platform::UniqueFd OpenSerialLine(const std::string& Path, int& Error)
{
    Error = 0;
    platform::UniqueFd fd = OpenTerminalReadWrite(Path, Error);
    if (fd.Valid() && (Error = PrepareLine(fd.Get())) != 0)
        fd.Reset();
    return fd;
}

} // namespace device
