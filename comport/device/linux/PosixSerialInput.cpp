// The receiving side of the Linux serial device: moving bytes from the kernel
// into the receive queue, the events and errors they bring, and the event wait.
#include <cerrno>
#include <optional>
#include <poll.h>
#include <unistd.h>

#include "PosixSerialDevice.h"
#include "WaitDescriptor.h"

namespace device {

namespace {

constexpr uint32_t kLineErrorsOfEvErr = kCeFrame | kCeRxParity | kCeOverrun | kCeRxOver;
constexpr short kHangupEvents = POLLHUP | POLLERR | POLLNVAL;

} // namespace

void PosixSerialDevice::PullInputLocked()
{
    if (FInputEnded)
        return;
    ReceiveNews news;
    std::optional<bool> keeping; // asked once per pull, and only when bytes came
    while (FQueue.Room() > 0) {
        char raw[4096];
        const size_t wanted = std::min(sizeof raw, FQueue.Room());
        const ssize_t got = read(FFd, raw, wanted);
        if (got > 0) {
            if (!keeping)
                keeping = FFlow.KeepsInput();
            if (*keeping) {
                const ReceiveNews more = FQueue.Feed(raw, static_cast<size_t>(got));
                news.Events |= more.Events;
                news.Errors |= more.Errors;
            }
            if (static_cast<size_t>(got) < wanted)
                break; // the kernel had no more
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EIO) {
            FInputEnded = true; // the other end is gone
            NoteHangupLocked();
        } else if (got == 0 && FHungUp) {
            FInputEnded = true;
        }
        break;
    }
    NoteCountersLocked(news);
    FErrors |= news.Errors;
    RecordEventsLocked(news.Events);
    if (news.Events & kEvRxChar) {
        QueueLevelChangedLocked();
        FTransfers->WakeAll(); // a read waiting elsewhere has bytes now
    }
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
    WakeWaiter();
}

void PosixSerialDevice::NoteHangupLocked()
{
    if (FHungUp)
        return;
    FHungUp = true;
    FErrors |= kCeIoe;
    RecordEventsLocked(kEvErr); // reported once; the device is not watched again
    FTransfers->WakeAll();
}

bool PosixSerialDevice::WatchingDeviceLocked() const
{
    // A full queue leaves bytes in the kernel (so flow control can hold the
    // sender back) and must not be polled for them, or the wait would spin.
    return !FHungUp && !FInputEnded && !FQueue.Full();
}

void PosixSerialDevice::WakeWaiter()
{
    const uint64_t one = 1;
    while (write(FWakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void PosixSerialDevice::ConsumeWaiterWake()
{
    uint64_t value;
    while (read(FWakeFd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

void PosixSerialDevice::OnHelperEvents(uint32_t Events)
{
    std::lock_guard lock(FMutex);
    RecordEventsLocked(Events);
    if ((Events & (kEvCts | kEvDsr)) && FFlow.WatchesInputLines())
        FTransfers->WakeAll(); // a write held by CTS or DSR looks again
    if (Events & kEvTxEmpty) {
        if (FFlow.LineEmpty())
            FTransfers->WakeAll(); // a write waiting for room in the output queue
        if (FFlow.WantsLineEmpty())
            RequestTxEmptyLocked(); // bytes went out after the drain was seen
    }
}

WaitOutcome PosixSerialDevice::WaitEvents(const ManualResetEvent& Quit, uint32_t& Occurred, int& Error)
{
    Occurred = 0;
    Error = 0;
    uint64_t maskChanges;
    {
        std::lock_guard lock(FMutex);
        maskChanges = FMaskChanges;
    }
    for (;;) {
        if (Quit.IsSet())
            return WaitOutcome::Quit; // wins over events that are ready too
        pollfd watched[3] = {{DescriptorOf(Quit.Handle()), POLLIN, 0}, {FWakeFd, POLLIN, 0}, {FFd, POLLIN, 0}};
        nfds_t count = 2;
        {
            std::lock_guard lock(FMutex);
            PullInputLocked();
            if (FOccurred != 0) {
                Occurred = FOccurred;
                FOccurred = 0;
                return WaitOutcome::Events;
            }
            if (FMaskChanges != maskChanges)
                return WaitOutcome::Events; // a new mask ends the wait, with no events
            if (WatchingDeviceLocked())
                count = 3;
        }
        if (poll(watched, count, -1) < 0) {
            if (errno == EINTR)
                continue;
            Error = errno;
            return WaitOutcome::Failed;
        }
        if (watched[0].revents != 0)
            return WaitOutcome::Quit;
        if (watched[1].revents & POLLIN)
            ConsumeWaiterWake();
        if (count == 3 && (watched[2].revents & kHangupEvents)) {
            std::lock_guard lock(FMutex);
            PullInputLocked(); // what arrived before the hang-up still counts
            NoteHangupLocked();
        }
    }
}

} // namespace device
