#include "ModemLines.h"

#include <cerrno>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

namespace device {

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

int SetRs485Toggling(int Fd, bool On, bool& Supported)
{
    Supported = false;
    serial_rs485 rs485{};
    if (ioctl(Fd, TIOCGRS485, &rs485) != 0)
        return IsNoModemLinesError(errno) ? 0 : errno; // the driver has no RS-485 mode
    if (On)
        rs485.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    else
        rs485.flags &= ~static_cast<uint32_t>(SER_RS485_ENABLED);
    if (ioctl(Fd, TIOCSRS485, &rs485) != 0)
        return IsNoModemLinesError(errno) ? 0 : errno;
    Supported = true;
    return 0;
}

int TtyLineSource::Drive(OutputLine Line, bool On)
{
    int bit = Line == OutputLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    if (ioctl(FFd, On ? TIOCMBIS : TIOCMBIC, &bit) == 0 || IsNoModemLinesError(errno))
        return 0;
    return errno;
}

void TtyLineSource::Watch(ChangeReport OnChange)
{
    if (!FWatcher)
        FWatcher = std::make_unique<ModemLineWatcher>(FFd, std::move(OnChange));
}

bool IsPseudoTerminal(int Fd)
{
    struct stat info {};
    if (fstat(Fd, &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const unsigned int number = major(info.st_rdev);
    return number >= 136 && number <= 143;
}

TtyLineSource::TtyLineSource(int Fd) : FFd(Fd), FHasOutputQueue(!IsPseudoTerminal(Fd)) {}

size_t TtyLineSource::OutputQueued()
{
    int queued = 0;
    return ioctl(FFd, TIOCOUTQ, &queued) == 0 && queued > 0 ? static_cast<size_t>(queued) : 0;
}

bool TtyLineSource::TransmitterEmpty()
{
    if (OutputQueued() > 0)
        return false;
    unsigned int status = 0;
    return ioctl(FFd, TIOCSERGETLSR, &status) != 0 || (status & TIOCSER_TEMT) != 0;
}

} // namespace device
