// Low latency on Linux: ASYNC_LOW_LATENCY through TIOCGSERIAL/TIOCSSERIAL,
// which ftdi_sio turns into a latency timer of 1 ms. The flag is the
// driver's, not the open file's: it outlives the close, so the state before
// is put back.
#include "AdapterLatency.h"

#include <cerrno>
#include <linux/magic.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>

namespace device {

namespace {

bool IsPseudoTerminal(int Fd)
{
    struct statfs fileSystem {};
    return fstatfs(Fd, &fileSystem) == 0 && fileSystem.f_type == DEVPTS_SUPER_MAGIC;
}

// The flag as serial_struct's flags field holds it (an int).
constexpr int kLowLatency = static_cast<int>(ASYNC_LOW_LATENCY);

int ReadSerialInfo(int Fd, serial_struct& Info) { return ioctl(Fd, TIOCGSERIAL, &Info) == 0 ? 0 : errno; }

// Sets the flag as Low says; 0, errno, or EINVAL when the driver kept
// another state (success of the call proves nothing).
int WriteLowLatency(int Fd, serial_struct Info, bool Low)
{
    Info.flags = Low ? Info.flags | kLowLatency : Info.flags & ~kLowLatency;
    if (ioctl(Fd, TIOCSSERIAL, &Info) != 0)
        return errno;
    serial_struct taken{};
    if (int error = ReadSerialInfo(Fd, taken))
        return error;
    return ((taken.flags & kLowLatency) != 0) == Low ? 0 : EINVAL;
}

} // namespace

int AdapterLatency::Request(bool Wanted)
{
    if (!Wanted && !FBefore)
        return 0;
    serial_struct info{};
    if (int error = ReadSerialInfo(FFd, info)) {
        // A pseudo-terminal passes bytes on as they are written: there is no
        // timer to shorten, so the request is met as it stands.
        return error == ENOTTY && IsPseudoTerminal(FFd) ? 0 : error;
    }
    const bool low = (info.flags & kLowLatency) != 0;
    if (!FBefore)
        FBefore = low;
    const bool target = Wanted || *FBefore;
    return low == target ? 0 : WriteLowLatency(FFd, info, target);
}

void AdapterLatency::Restore()
{
    if (FBefore)
        static_cast<void>(Request(false)); // a line that cannot be set back is closed all the same
}

} // namespace device
