// Opening a serial device on Linux: name to path, exclusive use, raw line.
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "LineSettings.h"
#include "PortNames.h"
#include "PosixSerialDevice.h"

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

int MakeLineRaw(int Fd)
{
    Termios2 settings;
    if (int error = ReadTermios2(Fd, settings))
        return error;
    MakeRawLine(settings);
    return WriteTermios2(Fd, settings);
}

int PrepareLine(int Fd)
{
    if (!isatty(Fd))
        return ENOTTY; // a regular file, a pipe or another character device
    if (int error = TakeExclusively(Fd))
        return error;
    return MakeLineRaw(Fd);
}

} // namespace

std::unique_ptr<PosixSerialDevice> PosixSerialDevice::Open(const std::string& Path, int& Error)
{
    Error = 0;
    const int fd = open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Error = errno == EISDIR ? ENOTTY : errno;
        return nullptr;
    }
    if ((Error = PrepareLine(fd)) != 0) {
        close(fd);
        return nullptr;
    }
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int epollFd = wakeFd < 0 ? -1 : epoll_create1(EPOLL_CLOEXEC);
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.fd = wakeFd;
    if (epollFd < 0 || epoll_ctl(epollFd, EPOLL_CTL_ADD, wakeFd, &wake) != 0) {
        Error = errno;
        for (int other : {epollFd, wakeFd, fd})
            if (other >= 0)
                close(other);
        return nullptr;
    }
    return std::make_unique<PosixSerialDevice>(fd, wakeFd, epollFd);
}

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& Port, int& Error)
{
    const std::string path = DevicePathFor(Port);
    if (path.empty()) {
        Error = ENOENT;
        return nullptr;
    }
    return PosixSerialDevice::Open(path, Error);
}

int InvalidHandleError() { return EBADF; }

int AbortedTransferError() { return ECANCELED; }

} // namespace device
