// The only file that includes the kernel's termbits: see Termios2.h.
#include "Termios2.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>

namespace device {

static_assert(sizeof(termios2::c_cc) == kTermios2ControlChars);

namespace {

termios2 ToKernel(const Termios2& From)
{
    termios2 to{};
    to.c_iflag = From.InputFlags;
    to.c_oflag = From.OutputFlags;
    to.c_cflag = From.ControlFlags;
    to.c_lflag = From.LocalFlags;
    to.c_line = From.Line;
    std::memcpy(to.c_cc, From.ControlChars, sizeof to.c_cc);
    to.c_ispeed = From.InputSpeed;
    to.c_ospeed = From.OutputSpeed;
    return to;
}

Termios2 FromKernel(const termios2& From)
{
    Termios2 to;
    to.InputFlags = From.c_iflag;
    to.OutputFlags = From.c_oflag;
    to.ControlFlags = From.c_cflag;
    to.LocalFlags = From.c_lflag;
    to.Line = From.c_line;
    std::memcpy(to.ControlChars, From.c_cc, sizeof From.c_cc);
    to.InputSpeed = From.c_ispeed;
    to.OutputSpeed = From.c_ospeed;
    return to;
}

// The rates of the classic B-constants, for records the driver coded so.
uint32_t RateOfCode(uint32_t Code)
{
    static const struct {
        uint32_t Code, Rate;
    } table[] = {{B0, 0},
                 {B50, 50},
                 {B75, 75},
                 {B110, 110},
                 {B134, 134},
                 {B150, 150},
                 {B200, 200},
                 {B300, 300},
                 {B600, 600},
                 {B1200, 1200},
                 {B1800, 1800},
                 {B2400, 2400},
                 {B4800, 4800},
                 {B9600, 9600},
                 {B19200, 19200},
                 {B38400, 38400},
                 {B57600, 57600},
                 {B115200, 115200},
                 {B230400, 230400},
                 {B460800, 460800},
                 {B500000, 500000},
                 {B576000, 576000},
                 {B921600, 921600},
                 {B1000000, 1000000},
                 {B1152000, 1152000},
                 {B1500000, 1500000},
                 {B2000000, 2000000},
                 {B2500000, 2500000},
                 {B3000000, 3000000},
                 {B3500000, 3500000},
                 {B4000000, 4000000}};
    for (const auto& entry : table)
        if (entry.Code == Code)
            return entry.Rate;
    return 0;
}

} // namespace

int ReadTermios2(int Fd, Termios2& Settings)
{
    termios2 kernel{};
    if (ioctl(Fd, TCGETS2, &kernel) != 0)
        return errno;
    Settings = FromKernel(kernel);
    return 0;
}

int WriteTermios2(int Fd, const Termios2& Settings)
{
    const termios2 kernel = ToKernel(Settings);
    return ioctl(Fd, TCSETS2, &kernel) == 0 ? 0 : errno;
}

void SetExactRate(Termios2& Settings, uint32_t Rate)
{
    Settings.ControlFlags &= ~static_cast<uint32_t>(CBAUD | (CBAUD << IBSHIFT));
    Settings.ControlFlags |= BOTHER | (BOTHER << IBSHIFT);
    Settings.InputSpeed = Rate;
    Settings.OutputSpeed = Rate;
}

uint32_t OutputRate(const Termios2& Settings)
{
    const uint32_t code = Settings.ControlFlags & CBAUD;
    return code == BOTHER ? Settings.OutputSpeed : RateOfCode(code);
}

uint32_t InputRate(const Termios2& Settings)
{
    const uint32_t code = (Settings.ControlFlags >> IBSHIFT) & CBAUD;
    if (code == B0)
        return OutputRate(Settings);
    return code == BOTHER ? Settings.InputSpeed : RateOfCode(code);
}

} // namespace device
