// The receiving side of the POSIX serial device: moving bytes from the kernel
// into the receive queue, the events and errors they bring, and the event wait
// (blocking on the event thread, or a look when the main loop saw the waitable
// object signalled).
#include <cerrno>
#include <optional>
#include <poll.h>
#include <unistd.h>

#include "WakeDescriptor.h"
#include "PosixSerialDevice.h"
#include "WaitDescriptor.h"

namespace device {

namespace {

constexpr uint32_t kLineErrorsOfEvErr = kCeFrame | kCeRxParity | kCeOverrun | kCeRxOver;

} // namespace

// One read() of the line: the count, 0 when the kernel has nothing now, or -1
// when the input has ended (a hang-up, noted).
ssize_t PosixSerialDevice::ReadLineLocked(char* Buffer, size_t Size)
{
    for (;;) {
        const ssize_t got = read(FFd, Buffer, Size);
        if (got > 0)
            return got;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EIO) {
            FInputEnded = true; // the other end is gone
            NoteHangupLocked();
            return -1;
        }
        if (got == 0 && FHungUp) {
            FInputEnded = true;
            return -1;
        }
        return 0;
    }
}

// Takes in what the kernel holds, as far as the queue has room. Without a
// byte-level option the bytes are read straight into the queue's free space.
// True when the line answered: bytes came, or the input ended.
bool PosixSerialDevice::PullInputLocked()
{
    if (FInputEnded)
        return false;
    bool answered = false;
    ReceiveNews news;
    std::optional<bool> keeping; // asked once per pull, and only when bytes came
    while (FQueue.Room() > 0) {
        char raw[4096];
        auto [into, wanted] =
            FQueue.Plain() ? FQueue.FreeSpan() : std::pair<char*, size_t>{raw, std::min(sizeof raw, FQueue.Room())};
        const ssize_t got = ReadLineLocked(into, wanted);
        answered = answered || got != 0;
        if (got <= 0)
            break;
        if (!keeping)
            keeping = FFlow.KeepsInput();
        if (*keeping) {
            const size_t size = static_cast<size_t>(got);
            const ReceiveNews more = into == raw ? FQueue.Feed(raw, size) : FQueue.Commit(size);
            news.Events |= more.Events;
            news.Errors |= more.Errors;
        }
        if (static_cast<size_t>(got) < wanted)
            break; // the kernel had no more
    }
    NoteCountersLocked(news);
    FErrors |= news.Errors;
    RecordEventsLocked(news.Events);
    UpdateDeviceWatchLocked();
    if (news.Events & kEvRxChar) {
        QueueLevelChangedLocked();
        TellPendingTransfers(); // a read waiting elsewhere has bytes now
    }
    return answered;
}

// Nothing queued and nothing to decode: the line's bytes go straight into the
// reader's buffer. Returns how many it got.
size_t PosixSerialDevice::ReadPastQueueLocked(char* Buffer, size_t Size)
{
    const ssize_t got = ReadLineLocked(Buffer, Size);
    if (got <= 0 || !FFlow.KeepsInput())
        return 0; // dropped, as the queue would have dropped them
    ReceiveNews news = FQueue.Passing(Buffer, static_cast<size_t>(got));
    NoteCountersLocked(news);
    FErrors |= news.Errors;
    RecordEventsLocked(news.Events);
    return static_cast<size_t>(got);
}

void PosixSerialDevice::PullInputUnlessFreshLocked()
{
    if (!FInputFresh)
        PullInputLocked();
}

// Looks, without blocking, at what the waitable object has seen: an
// announcement through the wake-up descriptor, bytes or a hang-up on the line.
// Every announcement is made under FMutex, so FWakeSignalled tells whether
// one is there, and a watched line is read at once: the set is asked only
// when the read brought nothing, as a read cannot tell a line that hung up
// from a line with no input. An echo thus costs one read, not a look into
// the set as well.
int PosixSerialDevice::TakeInReadyLocked()
{
    if (FWakeSignalled) {
        FWakeSignalled = false;
        ConsumeWaiterWake();
    }
    if (FDeviceWatched && PullInputLocked())
        return 0; // a hang-up after these bytes keeps the set signalled: the next look finds it
    WaitSetReadiness ready;
    if (int error = FWaitSet.TakeReady(ready))
        return error;
    if (ready.Woken)
        ConsumeWaiterWake();
    if (ready.LineReady)
        PullInputLocked(); // what arrived before a hang-up still counts
    if (ready.HungUp)
        NoteHangupLocked();
    return 0;
}

// Hands out the events recorded so far; a changed mask ends a wait as well,
// with no events.
bool PosixSerialDevice::TakeReportLocked(uint64_t MaskChanges, uint32_t& Occurred)
{
    if (FOccurred == 0 && FMaskChanges == MaskChanges)
        return false;
    Occurred = FOccurred;
    FOccurred = 0;
    FInputFresh = true;
    return true;
}

// The line is watched while its bytes have somewhere to go: a full queue
// leaves them in the kernel (so flow control can hold the sender back) and
// must not be watched for them, or every wait would return at once.
void PosixSerialDevice::UpdateDeviceWatchLocked()
{
    const bool watch = WatchingDeviceLocked();
    if (watch == FDeviceWatched)
        return;
    // A line that hung up reports so at once and for ever: out of the set.
    // A full queue still hears of a hang-up.
    FWaitSet.Watch(FHungUp || FInputEnded ? LineWatch::None : watch ? LineWatch::Input : LineWatch::HangUpOnly);
    FDeviceWatched = watch;
}

void PosixSerialDevice::NoteCountersLocked(ReceiveNews& News)
{
    // Where the driver counts receive errors, its counters tell parity and
    // framing errors apart, which the marks in the input cannot.
    LineCounters now;
    if (!FHasCounters || !ReadLineCounters(FFd, now))
        return;
    const uint32_t counted = ErrorsBetween(FCounters, now);
    FCounters = now;
    if (counted & (kCeFrame | kCeRxParity))
        News.Errors &= ~(kCeFrame | kCeRxParity);
    News.Errors |= counted;
    if (counted & kLineErrorsOfEvErr)
        News.Events |= kEvErr;
    if (counted & kCeBreak)
        News.Events |= kEvBreak;
}

void PosixSerialDevice::RecordEventsLocked(uint32_t Events)
{
    const uint32_t fresh = Events & FEventMask & ~FOccurred;
    if (fresh == 0)
        return;
    FOccurred |= fresh;
    if (!FChecking)
        WakeWaiter(); // the waiter, looking itself, takes them with it
}

void PosixSerialDevice::NoteHangupLocked()
{
    if (FHungUp)
        return;
    FHungUp = true;
    FErrors |= kCeIoe;
    RecordEventsLocked(kEvErr); // reported once; the device is not watched again
    UpdateDeviceWatchLocked();
    TellPendingTransfers();
}

bool PosixSerialDevice::WatchingDeviceLocked() const
{
    // A full queue leaves bytes in the kernel (so flow control can hold the
    // sender back) and must not be polled for them, or the wait would spin.
    return !FHungUp && !FInputEnded && !FQueue.Full();
}

void PosixSerialDevice::WakeWaiter()
{
    FWakeSignalled = true;
    platform::SignalWake(FWakeFd);
}

void PosixSerialDevice::ConsumeWaiterWake() { platform::ConsumeWake(FWakeFd); }

void PosixSerialDevice::OnHelperEvents(uint32_t Events)
{
    std::lock_guard lock(FMutex);
    RecordEventsLocked(Events);
    if ((Events & (kEvCts | kEvDsr)) && FFlow.WatchesInputLines())
        TellPendingTransfers(); // a write held by CTS or DSR looks again
    if (Events & kEvTxEmpty) {
        if (FFlow.LineEmpty())
            TellPendingTransfers(); // a write waiting for room in the output queue
        if (FFlow.WantsLineEmpty())
            RequestTxEmptyLocked(); // bytes went out after the drain was seen
    }
}

WaitOutcome PosixSerialDevice::WaitEvents(const ManualResetEvent& Quit, uint32_t& Occurred, int& Error)
{
    Occurred = 0;
    Error = 0;
    if (Quit.IsSet())
        return WaitOutcome::Quit; // wins over events that are ready too
    uint64_t maskChanges;
    {
        std::lock_guard lock(FMutex);
        maskChanges = FMaskChanges;
        if (TakeReportLocked(maskChanges, Occurred))
            return WaitOutcome::Events;
    }
    for (;;) {
        pollfd watched[2] = {{platform::DescriptorOf(Quit.Handle()), POLLIN, 0}, {FWaitSet.Descriptor(), POLLIN, 0}};
        if (poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            Error = errno;
            return WaitOutcome::Failed;
        }
        if (Quit.IsSet())
            return WaitOutcome::Quit; // wins over events that are ready too
        std::lock_guard lock(FMutex);
        FChecking = true;
        Error = TakeInReadyLocked();
        FChecking = false;
        if (Error != 0)
            return WaitOutcome::Failed;
        if (TakeReportLocked(maskChanges, Occurred))
            return WaitOutcome::Events;
    }
}

WaitOutcome PosixSerialDevice::CheckEvents(uint32_t& Occurred, int& Error)
{
    Occurred = 0;
    std::lock_guard lock(FMutex);
    FChecking = true;
    Error = TakeInReadyLocked();
    FChecking = false;
    if (Error != 0)
        return WaitOutcome::Failed;
    TakeReportLocked(FMaskChanges, Occurred);
    return WaitOutcome::Events;
}

} // namespace device
