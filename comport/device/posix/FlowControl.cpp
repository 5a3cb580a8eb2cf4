#include "FlowControl.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <termios.h>
#include <unistd.h>

#include "LineSettings.h"

namespace device {

namespace {

uint32_t DtrMode(const DeviceControlBlock& Dcb) { return Dcb.Flags & kDcbDtrControlMask; }
uint32_t RtsMode(const DeviceControlBlock& Dcb) { return Dcb.Flags & kDcbRtsControlMask; }
bool Has(const DeviceControlBlock& Dcb, uint32_t Flag) { return (Dcb.Flags & Flag) != 0; }

} // namespace

int FlowControl::Check(const DeviceControlBlock& Dcb)
{
    const bool readsInputLines = Has(Dcb, kDcbDsrSensitivity) || Has(Dcb, kDcbOutxDsrFlow) ||
                                 (Has(Dcb, kDcbOutxCtsFlow) && !UsesKernelRtsCts(Dcb));
    // Accepted, such a setting would drop every byte or hold every write for
    // ever on a line whose inputs always read off.
    if (readsInputLines && !FLines->Present())
        return ENOTTY;
    if ((Has(Dcb, kDcbInX) || Has(Dcb, kDcbOutX)) && Dcb.XonChar == Dcb.XoffChar)
        return EINVAL;
    return 0;
}

int FlowControl::Configure(const DeviceControlBlock& Dcb, bool DriverToggles)
{
    TakeSettings(Dcb, DriverToggles);
    KeepThrottleConsistent();
    return DriveOutputLines(Dcb, DriverToggles);
}

void FlowControl::TakeSettings(const DeviceControlBlock& Dcb, bool DriverToggles)
{
    const bool kernelRtsCts = UsesKernelRtsCts(Dcb);
    const bool hasLines = FLines->Present(); // without, DTR and RTS are nothing to drive
    FDsrSensitive = Has(Dcb, kDcbDsrSensitivity);
    FOutCts = Has(Dcb, kDcbOutxCtsFlow) && !kernelRtsCts;
    FOutDsr = Has(Dcb, kDcbOutxDsrFlow);
    FInX = Has(Dcb, kDcbInX);
    FHoldOnXoff = FInX && !Has(Dcb, kDcbTxContinueOnXoff);
    FDtrHandshake = hasLines && DtrMode(Dcb) == kDcbDtrControlHandshake;
    FRtsHandshake = hasLines && RtsMode(Dcb) == kDcbRtsControlHandshake && !kernelRtsCts;
    FRtsToggle = hasLines && RtsMode(Dcb) == kDcbRtsControlToggle && !DriverToggles;
    FXonChar = Dcb.XonChar;
    FXoffChar = Dcb.XoffChar;
    FXonLim = Dcb.XonLim;
    FXoffLim = Dcb.XoffLim;
    UpdateLevels();
}

void FlowControl::KeepThrottleConsistent()
{
    // Settings applied again while the sender is held keep it held by what
    // is still asked for, and let go of what no longer is: an XOFF that
    // nobody would lift would stop the sender for good.
    if (FXoffSent && !FInX) {
        FXoffSent = false;
        SendFlowChar(false);
    }
    if (!ThrottlesInput())
        FThrottled = false;
    if (FThrottled && FInX && !FXoffSent) {
        FXoffSent = true;
        SendFlowChar(true);
    }
}

int FlowControl::DriveOutputLines(const DeviceControlBlock& Dcb, bool DriverToggles)
{
    const bool dtrOn = DtrMode(Dcb) != 0 && !(FDtrHandshake && FThrottled);
    if (int error = FLines->Drive(OutputLine::Dtr, dtrOn))
        return error;
    if (RtsMode(Dcb) == kDcbRtsControlToggle && DriverToggles)
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

void FlowControl::SetQueueSizes(uint32_t InputSize, uint32_t OutputSize, size_t Capacity)
{
    FInputSize = InputSize;
    FCapacity = Capacity;
    FOutputLimit = OutputSize <= static_cast<uint32_t>(INT32_MAX) ? OutputSize : 0;
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

bool FlowControl::KeepsInput() { return !FDsrSensitive || InputLineOn(kMsDsrOn); }

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
    // tcflow sends the character ahead of the output the kernel holds, as a
    // driver sends XOFF at once; a character of 0 is "disabled" to it.
    const uint8_t ch = Xoff ? FXoffChar : FXonChar;
    if (ch != 0 && tcflow(FFd, Xoff ? TCIOFF : TCION) == 0)
        return;
    while (write(FFd, &ch, 1) < 0 && errno == EINTR) {
    }
}

bool FlowControl::InputLineOn(uint32_t Bit)
{
    uint32_t status = 0;
    return FLines->Read(status) == 0 && (status & Bit) != 0;
}

size_t FlowControl::TransmitRoom(size_t Wanted)
{
    if (FHoldOnXoff && FXoffSent)
        return 0;
    if (!OutputLinesAllow())
        return 0;
    return OutputRoom(Wanted);
}

bool FlowControl::OutputLinesAllow()
{
    if (!FOutCts && !FOutDsr)
        return true;
    uint32_t status = 0;
    if (FLines->Read(status) != 0)
        return false;
    return (!FOutCts || (status & kMsCtsOn)) && (!FOutDsr || (status & kMsDsrOn));
}

size_t FlowControl::OutputRoom(size_t Wanted)
{
    if (FOutputLimit == 0 || !FLines->HasOutputQueue())
        return Wanted;
    // FOutputBound counts what was written since the driver's queue was
    // last seen; the queue is asked only when that would pass the limit, so
    // that small writes cost no extra call.
    if (FOutputBound + Wanted > FOutputLimit)
        FOutputBound = FLines->OutputQueued();
    const size_t room = FOutputLimit > FOutputBound ? FOutputLimit - FOutputBound : 0;
    FWaitingForRoom = room == 0;
    const size_t allowed = std::min(Wanted, room);
    FOutputBound += allowed;
    return allowed;
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

bool FlowControl::LineEmpty()
{
    // Bytes written after the drain was seen may still be queued or in the
    // UART: RTS stays up, and the write that queued them asks again.
    if (FRtsToggle && FRtsUp && FTransmitting == 0 && FLines->TransmitterEmpty())
        DriveRts(false);
    if (!FWaitingForRoom)
        return false;
    FWaitingForRoom = false;
    FOutputBound = FLines->OutputQueued(); // what was written after the drain
    return true;
}

} // namespace device
