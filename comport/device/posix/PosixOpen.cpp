// Opening the POSIX serial device: the port's name to a path, the line, and
// the wake-up descriptor and readiness set the device waits on.
#include <cerrno>

#include "LineOpen.h"
#include "PortNames.h"
#include "PosixSerialDevice.h"
#include "WakeDescriptor.h"

namespace device {

std::unique_ptr<PosixSerialDevice> PosixSerialDevice::Open(const std::string& Path, int& Error)
{
    platform::UniqueFd fd = OpenSerialLine(Path, Error);
    if (!fd.Valid())
        return nullptr;
    platform::UniqueFd wakeFd = platform::NewWakeDescriptor();
    if (!wakeFd.Valid()) {
        Error = errno;
        return nullptr;
    }
    DeviceWaitSet waitSet(wakeFd.Get(), fd.Get(), Error);
    if (!waitSet.Valid())
        return nullptr;
    return std::make_unique<PosixSerialDevice>(std::move(fd), std::move(wakeFd), std::move(waitSet));
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
int InvalidArgumentError() { return EINVAL; }

// The device node's permissions exclude the user (on Debian, serial devices
// belong to the group dialout).
bool IsAccessDeniedError(int SystemErrorCode) { return SystemErrorCode == EACCES; }

// No node (ENOENT), or a node with no device behind it: a ttyS placeholder
// with no UART (ENXIO, EIO), a driver gone (ENODEV).
bool IsNoSuchDeviceError(int SystemErrorCode)
{
    return SystemErrorCode == ENOENT || SystemErrorCode == ENXIO || SystemErrorCode == ENODEV || SystemErrorCode == EIO;
}

// The exclusive open's lock (flock, TIOCEXCL) held by another opener.
bool IsDeviceBusyError(int SystemErrorCode) { return SystemErrorCode == EBUSY; }

int AbortedTransferError() { return ECANCELED; }

} // namespace device
