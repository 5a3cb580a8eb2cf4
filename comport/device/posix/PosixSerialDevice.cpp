// Lifetime, settings and status queries of the POSIX serial device.
#include "PosixSerialDevice.h"

#include <algorithm>
#include <cerrno>
#include <termios.h>
#include <unistd.h>

#include "LineSettings.h"
#include "ModemLines.h"

namespace device {

namespace {

constexpr uint32_t kModemEvents = kEvCts | kEvDsr | kEvRlsd | kEvRing;

ReceiveOptions ReceiveOptionsFor(const DeviceControlBlock& Dcb, bool MarkBreaks)
{
    ReceiveOptions options;
    const bool checking = (Dcb.Flags & kDcbParity) != 0;
    options.DiscardNull = (Dcb.Flags & kDcbNull) != 0;
    options.ErrorMarks = checking || MarkBreaks;
    options.ReplaceErrors = checking && (Dcb.Flags & kDcbErrorChar) != 0;
    options.ErrorChar = Dcb.ErrorChar;
    options.EventChar = Dcb.EvtChar;
    options.ParityChecked = checking && Dcb.Parity != kNoParity;
    return options;
}

} // namespace

PosixSerialDevice::PosixSerialDevice(platform::UniqueFd Fd, platform::UniqueFd WakeFd, DeviceWaitSet WaitSet)
    : FLine(std::move(Fd)), FWake(std::move(WakeFd)), FWaitSet(std::move(WaitSet)),
      FLines(std::make_unique<TtyLineSource>(FFd)), FFlow(FFd, *FLines), FMarkBreaks(!IsPseudoTerminal(FFd))
{
    FHasCounters = ReadLineCounters(FFd, FCounters);
    std::lock_guard lock(FMutex);
    UpdateDeviceWatchLocked();
}

PosixSerialDevice::~PosixSerialDevice()
{
    // Helpers first: they call back into the device. Not under FMutex, which
    // their callbacks take.
    FLines->StopWatching();
    FTxEmptyWatcher.reset();
    // States that outlive the device end as aborted and no longer reach it:
    // the last round, on this thread once the pump has stopped, ends them.
    FPending->Abort(true, true);
    FPump.Stop();
    for (const auto direction : {PosixTransfer::Kind::Read, PosixTransfer::Kind::Write})
        AdvanceQueue(FPending->Of(direction), false);
    FLatency.Restore();
}

int PosixSerialDevice::SetupQueues(uint32_t InputSize, uint32_t OutputSize)
{
    // The input size is a recommendation, kept within bounds so that a size
    // read as huge (a negative one) still leaves a queue that fills and holds
    // the sender back; the flow-control levels follow the size asked for. The
    // output queue is the kernel's: the flow control keeps what waits in it
    // within the output size.
    std::lock_guard lock(FMutex);
    FQueue.SetCapacity(std::clamp<size_t>(InputSize, kReceiveQueueFloor, kReceiveQueueCeiling));
    FQueue.SetNominalSize(InputSize);
    FFlow.SetQueueSizes(InputSize, OutputSize, FQueue.Capacity());
    QueueLevelChangedLocked();
    UpdateDeviceWatchLocked(); // a queue no longer full is worth watching the device for
    return 0;
}

int PosixSerialDevice::SetState(const DeviceControlBlock& Dcb)
{
    if (int error = CheckControlBlock(Dcb))
        return error;
    // Held throughout, so that no byte is decoded under the old receive
    // options after the line has switched to the new ones: what the kernel
    // holds now was received under the old settings and is taken in first.
    std::lock_guard lock(FMutex);
    if (int error = FFlow.Check(Dcb))
        return error;
    PullInputLocked();
    if (int error = ApplyLineSettings(FFd, Dcb, FMarkBreaks))
        return error;
    if (int error = SetRtsTogglingLocked(Dcb))
        return error;
    if (int error = FFlow.Configure(Dcb, FDriverTogglesRts))
        return error;
    FQueue.Configure(ReceiveOptionsFor(Dcb, FMarkBreaks));
    if (FFlow.WatchesInputLines())
        StartModemWatcherLocked();
    QueueLevelChangedLocked();
    TellPendingTransfers(); // a write held by the old flow control looks again
    return 0;
}

int PosixSerialDevice::SetRtsTogglingLocked(const DeviceControlBlock& Dcb)
{
    // The driver's RS-485 mode where it has one; otherwise the flow control
    // toggles RTS itself.
    const bool toggle = (Dcb.Flags & kDcbRtsControlMask) == kDcbRtsControlToggle;
    if (!toggle && !FDriverTogglesRts)
        return 0;
    bool supported = false;
    if (int error = SetRs485Toggling(FFd, toggle, supported))
        return error;
    FDriverTogglesRts = toggle && supported;
    return 0;
}

void PosixSerialDevice::UseLineSource(std::unique_ptr<LineSource> Lines)
{
    FLines->StopWatching(); // not under FMutex, which its reports take
    std::lock_guard lock(FMutex);
    FWatchingLines = false;
    FLines = std::move(Lines);
    FFlow.UseLineSource(*FLines);
}

int PosixSerialDevice::SetTimeouts(const CommTimeouts& Timeouts)
{
    std::lock_guard lock(FMutex);
    FTimeouts = Timeouts;
    return 0;
}

int PosixSerialDevice::SetEventMask(uint32_t Mask)
{
    std::lock_guard lock(FMutex);
    FEventMask = Mask;
    FOccurred &= Mask;
    ++FMaskChanges; // ends a wait in progress, as on the first platform
    if ((Mask & kModemEvents) != 0)
        StartModemWatcherLocked();
    WakeWaiter();
    return 0;
}

int PosixSerialDevice::Purge(uint32_t Flags)
{
    if (Flags & (kPurgeRxAbort | kPurgeTxAbort)) {
        FPending->Abort((Flags & kPurgeRxAbort) != 0, (Flags & kPurgeTxAbort) != 0);
        TellPendingTransfers();
    }
    std::lock_guard lock(FMutex);
    if (Flags & kPurgeRxClear) {
        FQueue.Clear();
        QueueLevelChangedLocked();
        UpdateDeviceWatchLocked();
    }
    const int kernelSide = ((Flags & kPurgeRxClear) ? 1 : 0) | ((Flags & kPurgeTxClear) ? 2 : 0);
    if (kernelSide == 0 || FHungUp)
        return 0;
    const int queue = kernelSide == 3 ? TCIOFLUSH : kernelSide == 1 ? TCIFLUSH : TCOFLUSH;
    return tcflush(FFd, queue) == 0 ? 0 : errno;
}

int PosixSerialDevice::ClearError(uint32_t& Errors, uint32_t& InQueue)
{
    std::lock_guard lock(FMutex);
    PullInputUnlessFreshLocked();
    Errors = FErrors;
    FErrors = 0;
    InQueue = static_cast<uint32_t>(FQueue.Count());
    return 0;
}

int PosixSerialDevice::ModemStatus(uint32_t& Status)
{
    std::lock_guard lock(FMutex);
    return FLines->Read(Status);
}

void PosixSerialDevice::StartModemWatcherLocked()
{
    if (FWatchingLines || FHungUp || !FLines->Present())
        return; // a pseudo-terminal has no modem lines to watch
    FLines->Watch([this](uint32_t Events) { OnHelperEvents(Events); });
    FWatchingLines = true;
}

void PosixSerialDevice::QueueLevelChangedLocked()
{
    if (FFlow.QueueLevel(FQueue.Count()))
        TellPendingTransfers(); // XON went out: a write held by XOFF may go on
}

void PosixSerialDevice::RequestTxEmptyLocked()
{
    const bool forEvents = (FEventMask & kEvTxEmpty) != 0 && FTxEmptyWanted;
    if ((!forEvents && !FFlow.WantsLineEmpty()) || FHungUp)
        return;
    if (!FTxEmptyWatcher)
        FTxEmptyWatcher = std::make_unique<TxEmptyWatcher>(FFd, [this] { OnHelperEvents(kEvTxEmpty); });
    FTxEmptyWatcher->Request();
}

} // namespace device
