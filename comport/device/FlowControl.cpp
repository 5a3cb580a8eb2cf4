#include "FlowControl.h"

#include <algorithm>
#include <cerrno>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace device {

namespace {

uint32_t DtrMode(const DeviceControlBlock& Dcb) { return Dcb.Flags & DCB_DTR_CONTROL_MASK; }
uint32_t RtsMode(const DeviceControlBlock& Dcb) { return Dcb.Flags & DCB_RTS_CONTROL_MASK; }
bool Has(const DeviceControlBlock& Dcb, uint32_t Flag) { return (Dcb.Flags & Flag) != 0; }

} // namespace

int FlowControl::Check(const DeviceControlBlock& Dcb)
{
    const bool kernelRtsCts = Has(Dcb, DCB_OUTX_CTS_FLOW) && RtsMode(Dcb) == DCB_RTS_CONTROL_HANDSHAKE;
    const bool readsInputLines = Has(Dcb, DCB_DSR_SENSITIVITY) || Has(Dcb, DCB_OUTX_DSR_FLOW) ||
                                 (Has(Dcb, DCB_OUTX_CTS_FLOW) && !kernelRtsCts);
    // Accepted, such a setting would drop every byte or hold every write for
    // ever on a line whose inputs always read off.
    if (readsInputLines && !FLines->Present())
        return ENOTTY;
    if ((Has(Dcb, DCB_INX) || Has(Dcb, DCB_OUTX)) && Dcb.XonChar == Dcb.XoffChar)
        return EINVAL;
    return 0;
}

int FlowControl::Configure(const DeviceControlBlock& Dcb, bool KernelRtsCts, bool DriverToggles)
{
    FDsrSensitive = Has(Dcb, DCB_DSR_SENSITIVITY);
    FOutCts = Has(Dcb, DCB_OUTX_CTS_FLOW) && !KernelRtsCts;
    FOutDsr = Has(Dcb, DCB_OUTX_DSR_FLOW);
    FInX = Has(Dcb, DCB_INX);
    FHoldOnXoff = FInX && !Has(Dcb, DCB_TX_CONTINUE_ON_XOFF);
    FDtrHandshake = DtrMode(Dcb) == DCB_DTR_CONTROL_HANDSHAKE;
    FRtsHandshake = RtsMode(Dcb) == DCB_RTS_CONTROL_HANDSHAKE && !KernelRtsCts;
    FRtsToggle = RtsMode(Dcb) == DCB_RTS_CONTROL_TOGGLE && !DriverToggles;
    FXonChar = Dcb.XonChar;
    FXoffChar = Dcb.XoffChar;
    FXonLim = Dcb.XonLim;
    FXoffLim = Dcb.XoffLim;
    UpdateLevels();

    if (FXoffSent && !FInX) {
        SendFlowChar(false); // the sender must not stay stopped by an XOFF nobody will lift
        FXoffSent = false;
    }
    if (!ThrottlesInput())
        FThrottled = false;
    if (FThrottled && FInX && !FXoffSent) {
        FXoffSent = true;
        SendFlowChar(true);
    }

    const bool dtrOn = DtrMode(Dcb) != 0 && !(FDtrHandshake && FThrottled);
    if (int error = FLines->Drive(OutputLine::Dtr, dtrOn))
        return error;
    if (RtsMode(Dcb) == DCB_RTS_CONTROL_TOGGLE && DriverToggles)
        return 0; // the driver drives RTS
    // With the kernel's RTS/CTS flow the kernel drives RTS from here on; a
    // toggled RTS stays down until there is something to send.
    return DriveRts(!FRtsToggle && RtsMode(Dcb) != 0 && !(FRtsHandshake && FThrottled));
}

int FlowControl::DriveRts(bool On)
{
    FRtsUp = On;
    return FLines->Drive(OutputLine::Rts, On);
}

void FlowControl::SetQueueSizes(uint32_t InputSize, size_t Capacity)
{
    FInputSize = InputSize;
    FCapacity = Capacity;
    UpdateLevels();
}

void FlowControl::UpdateLevels()
{
    // Stop past InputSize - XoffLim queued bytes, resume below XonLim. The
    // queue never resumes later than when it is empty, and never before it
    // is back at the stop level, so that a limit of 0, or limits that cross,
    // cannot leave the sender stopped for ever or throttle it on every byte.
    const size_t size = FInputSize == 0 ? FCapacity : std::min(FInputSize, FCapacity);
    FLevels.StopAbove = size > FXoffLim ? size - FXoffLim : 0;
    FLevels.ResumeBelow = std::clamp<size_t>(FXonLim, 1, FLevels.StopAbove + 1);
}

bool FlowControl::KeepsInput() { return !FDsrSensitive || InputLineOn(MS_DSR_ON); }

bool FlowControl::QueueLevel(size_t Count)
{
    if (!ThrottlesInput())
        return false;
    if (!FThrottled && Count > FLevels.StopAbove) {
        Throttle();
        return false;
    }
    if (FThrottled && Count < FLevels.ResumeBelow) {
        Release();
        return true;
    }
    return false;
}

void FlowControl::Throttle()
{
    FThrottled = true;
    if (FInX && !FXoffSent) {
        FXoffSent = true;
        SendFlowChar(true);
    }
    if (FDtrHandshake)
        FLines->Drive(OutputLine::Dtr, false);
    if (FRtsHandshake)
        DriveRts(false);
}

void FlowControl::Release()
{
    FThrottled = false;
    if (FXoffSent) {
        FXoffSent = false;
        SendFlowChar(false);
    }
    if (FDtrHandshake)
        FLines->Drive(OutputLine::Dtr, true);
    if (FRtsHandshake)
        DriveRts(true);
}

void FlowControl::SendFlowChar(bool Xoff)
{
    // TCXONC sends the character ahead of the output the kernel holds, as a
    // driver sends XOFF at once; a character of 0 is "disabled" to it.
    const uint8_t ch = Xoff ? FXoffChar : FXonChar;
    if (ch != 0 && ioctl(FFd, TCXONC, Xoff ? TCIOFF : TCION) == 0)
        return;
    while (write(FFd, &ch, 1) < 0 && errno == EINTR) {
    }
}

bool FlowControl::InputLineOn(uint32_t Bit)
{
    uint32_t status = 0;
    return FLines->Read(status) == 0 && (status & Bit) != 0;
}

bool FlowControl::MayTransmit()
{
    if (FHoldOnXoff && FXoffSent)
        return false;
    if (!FOutCts && !FOutDsr)
        return true;
    uint32_t status = 0;
    if (FLines->Read(status) != 0)
        return false;
    return (!FOutCts || (status & MS_CTS_ON)) && (!FOutDsr || (status & MS_DSR_ON));
}

bool FlowControl::BeforeTransmit()
{
    if (!FRtsToggle)
        return false;
    ++FTransmitting;
    if (!FRtsUp)
        DriveRts(true);
    return true;
}

void FlowControl::LineEmpty()
{
    if (!FRtsToggle || !FRtsUp || FTransmitting > 0 || !TransmitterIdle())
        return;
    DriveRts(false);
}

bool FlowControl::TransmitterIdle() const
{
    // Bytes written after the drain was seen may still be in the kernel's
    // queue or in the UART; the last write asks for another look.
    int queued = 0;
    if (ioctl(FFd, TIOCOUTQ, &queued) == 0 && queued > 0)
        return false;
    unsigned int status = 0;
    if (ioctl(FFd, TIOCSERGETLSR, &status) == 0 && (status & TIOCSER_TEMT) == 0)
        return false;
    return true;
}

} // namespace device
