#include "ModemLines.h"

#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace device {

namespace {

int SetLine(int Fd, int Line, bool On)
{
    if (ioctl(Fd, On ? TIOCMBIS : TIOCMBIC, &Line) == 0 || IsNoModemLinesError(errno))
        return 0;
    return errno;
}

int SetRtsToggling(int Fd, bool On)
{
    serial_rs485 rs485{};
    if (ioctl(Fd, TIOCGRS485, &rs485) != 0)
        return IsNoModemLinesError(errno) ? 0 : errno; // the driver has no RS-485 mode
    if (On)
        rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    else
        rs485.flags &= ~static_cast<uint32_t>(SER_RS485_ENABLED);
    if (ioctl(Fd, TIOCSRS485, &rs485) != 0)
        return IsNoModemLinesError(errno) ? 0 : errno;
    return 0;
}

} // namespace

bool IsNoModemLinesError(int Error) { return Error == ENOTTY || Error == EINVAL; }

int ReadModemStatus(int Fd, uint32_t& Status)
{
    Status = 0;
    int lines = 0;
    if (ioctl(Fd, TIOCMGET, &lines) != 0)
        return IsNoModemLinesError(errno) ? 0 : errno;
    if (lines & TIOCM_CTS)
        Status |= kMsCtsOn;
    if (lines & TIOCM_DSR)
        Status |= kMsDsrOn;
    if (lines & TIOCM_RNG)
        Status |= kMsRingOn;
    if (lines & TIOCM_CAR)
        Status |= kMsRlsdOn;
    return 0;
}

bool HasModemLines(int Fd)
{
    int lines = 0;
    return ioctl(Fd, TIOCMGET, &lines) == 0;
}

int DriveModemLines(int Fd, const DeviceControlBlock& Dcb, bool WasToggling)
{
    // Linux has no DTR handshake: the line is simply raised for it.
    const bool dtrOn = (Dcb.Flags & kDcbDtrControlMask) != 0;
    if (int error = SetLine(Fd, TIOCM_DTR, dtrOn))
        return error;
    const uint32_t rts = Dcb.Flags & kDcbRtsControlMask;
    if (rts == kDcbRtsControlToggle)
        return SetRtsToggling(Fd, true);
    if (WasToggling)
        if (int error = SetRtsToggling(Fd, false))
            return error;
    // With handshake the driver drives RTS from here on (CRTSCTS); start it on.
    return SetLine(Fd, TIOCM_RTS, rts != 0);
}

} // namespace device
