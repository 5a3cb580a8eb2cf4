// The line settings on Linux, through termios2 so that every rate reaches the
// device exactly.
#include "LineSettings.h"

#include <cerrno>
#include <termios.h>

#include "Termios2.h"

namespace device {

namespace {

uint32_t DataBitsFlag(uint8_t ByteSize)
{
    switch (ByteSize) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

uint32_t ParityFlags(uint8_t Parity)
{
    switch (Parity) {
    case kOddParity:
        return PARENB | PARODD;
    case kEvenParity:
        return PARENB;
    case kMarkParity:
        return PARENB | CMSPAR | PARODD;
    case kSpaceParity:
        return PARENB | CMSPAR;
    default:
        return 0;
    }
}

void MakeRawLine(Termios2& Settings)
{
    Settings.InputFlags &= ~static_cast<uint32_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                                  IXOFF | IXANY | INPCK | IGNPAR | IMAXBEL | IUCLC);
    Settings.OutputFlags &= ~static_cast<uint32_t>(OPOST);
    Settings.LocalFlags &= ~static_cast<uint32_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    Settings.ControlFlags |= CLOCAL | CREAD;
    Settings.ControlChars[VMIN] = 0;
    Settings.ControlChars[VTIME] = 0;
}

void ApplyControlBlock(const DeviceControlBlock& Dcb, bool MarkBreaks, Termios2& Settings)
{
    SetExactRate(Settings, Dcb.BaudRate);

    Settings.ControlFlags &= ~static_cast<uint32_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    Settings.ControlFlags |= DataBitsFlag(Dcb.ByteSize) | ParityFlags(Dcb.Parity);
    if (Dcb.StopBits != kOneStopBit)
        Settings.ControlFlags |= CSTOPB; // with 5 data bits the UART sends 1.5
    if (UsesKernelRtsCts(Dcb))
        Settings.ControlFlags |= CRTSCTS;

    // IXOFF is left off: the kernel would send XOFF and XON at the levels of
    // its own buffer, which the receive queue keeps nearly empty; the flow
    // control sends them at the levels of the receive queue instead.
    Settings.InputFlags &= ~static_cast<uint32_t>(IXON | IXOFF | INPCK | PARMRK | IGNPAR);
    if (Dcb.Flags & kDcbOutX)
        Settings.InputFlags |= IXON;
    // Unmarked, the kernel gives a break as a NUL byte among the data, which
    // the far end never sent; marks cost the reader a decoding pass, so a
    // line that cannot carry a break goes without them.
    if (MarkBreaks || (Dcb.Flags & kDcbParity))
        Settings.InputFlags |= PARMRK;
    if (Dcb.Flags & kDcbParity)
        Settings.InputFlags |= INPCK;
    Settings.ControlChars[VSTART] = Dcb.XonChar;
    Settings.ControlChars[VSTOP] = Dcb.XoffChar;
}

bool DeviceTookSettings(const Termios2& Wanted, const Termios2& Taken)
{
    const uint32_t format = CSIZE | PARENB | CSTOPB | CRTSCTS;
    if ((Wanted.ControlFlags & format) != (Taken.ControlFlags & format))
        return false;
    const uint32_t parityKind = PARODD | CMSPAR;
    if ((Wanted.ControlFlags & PARENB) && (Wanted.ControlFlags & parityKind) != (Taken.ControlFlags & parityKind))
        return false;
    const uint32_t input = IXON | IXOFF | INPCK | PARMRK;
    if ((Wanted.InputFlags & input) != (Taken.InputFlags & input))
        return false;
    return OutputRate(Taken) == OutputRate(Wanted) && InputRate(Taken) == InputRate(Wanted);
}

} // namespace

int MakeLineRaw(int Fd)
{
    Termios2 settings;
    if (int error = ReadTermios2(Fd, settings))
        return error;
    MakeRawLine(settings);
    return WriteTermios2(Fd, settings);
}

int ApplyLineSettings(int Fd, const DeviceControlBlock& Dcb, bool MarkBreaks)
{
    Termios2 previous;
    if (int error = ReadTermios2(Fd, previous))
        return error;
    Termios2 wanted = previous;
    MakeRawLine(wanted);
    ApplyControlBlock(Dcb, MarkBreaks, wanted);
    if (int error = WriteTermios2(Fd, wanted))
        return error;
    // The call succeeds even where the driver quietly kept other values.
    Termios2 taken;
    if (int error = ReadTermios2(Fd, taken))
        return error;
    // Refused: the line goes back to what it had. Should that fail too, the
    // line is in neither state, and that failure is the one to report.
    if (!DeviceTookSettings(wanted, taken)) {
        if (int error = WriteTermios2(Fd, previous))
            return error;
        return EINVAL;
    }
    return 0;
}

} // namespace device
