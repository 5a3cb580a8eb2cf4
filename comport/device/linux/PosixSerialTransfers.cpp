// Reads and writes of the Linux serial device. A transfer is started with one
// look that never blocks; when that does not end it, AwaitTransfer waits in
// poll() over the device and the transfer's own wake-up descriptor, with the
// deadlines of the timeouts counted from the start.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <unistd.h>

#include "PosixSerialDevice.h"

namespace device {

namespace {

constexpr short kHangupEvents = POLLHUP | POLLERR | POLLNVAL;

std::optional<SteadyClock::time_point> Earlier(std::optional<SteadyClock::time_point> A,
                                               std::optional<SteadyClock::time_point> B)
{
    if (!A)
        return B;
    if (!B)
        return A;
    return std::min(*A, *B);
}

int PollTimeout(const std::optional<SteadyClock::time_point>& Deadline)
{
    if (!Deadline)
        return -1;
    const auto left = std::chrono::ceil<Milliseconds>(*Deadline - SteadyClock::now()).count();
    return static_cast<int>(std::clamp<int64_t>(left, 0, INT_MAX));
}

bool ReadHasEnough(const PosixTransfer& Transfer)
{
    return Transfer.Done == Transfer.Count || Transfer.Rule.ReturnAtOnce ||
           (Transfer.Rule.ReturnAfterFirstByte && Transfer.Done > 0);
}

} // namespace

int PosixSerialDevice::StartRead(IoBlock& Block, char* Buffer, uint32_t Count, uint32_t& Done)
{
    auto transfer = std::make_unique<PosixTransfer>(FTransfers, PosixTransfer::Kind::Read);
    transfer->ReadBuffer = Buffer;
    transfer->Count = Count;
    PosixTransfer& state = *transfer;
    Block.State = std::move(transfer);
    ReadProgress progress;
    {
        std::lock_guard lock(FMutex);
        state.Rule = ReadRuleFor(FTimeouts, Count);
        progress = ReadQueuedLocked(state);
    }
    ConcludeRead(state, progress);
    return Begun(state, Done);
}

int PosixSerialDevice::StartWrite(IoBlock& Block, const char* Buffer, uint32_t Count, uint32_t& Done)
{
    auto transfer = std::make_unique<PosixTransfer>(FTransfers, PosixTransfer::Kind::Write);
    transfer->WriteBuffer = Buffer;
    transfer->Count = Count;
    PosixTransfer& state = *transfer;
    Block.State = std::move(transfer);
    StepWrite(state, true);
    return Begun(state, Done);
}

// After the first step: a transfer that has ended reports its outcome; one
// that goes on gets what a pending transfer needs. A transfer that cannot get
// its wake-up event (out of descriptors) ends with the reason.
int PosixSerialDevice::Begun(PosixTransfer& Transfer, uint32_t& Done)
{
    Done = 0;
    if (Transfer.Pending) {
        const int error = Transfer.BecomePending();
        if (error == 0)
            return kIoPending;
        Transfer.Finish(error);
    }
    Done = Transfer.Done;
    return Transfer.Result;
}

int PosixSerialDevice::AwaitTransfer(IoBlock& Block, uint32_t& Done)
{
    auto* state = dynamic_cast<PosixTransfer*>(Block.State.get());
    if (state == nullptr) {
        Done = 0; // nothing was ever started on this block
        return 0;
    }
    while (state->Pending) {
        const StepOutcome outcome = Step(*state);
        if (!outcome.Ended)
            WaitForProgress(*state, outcome);
    }
    Done = state->Done;
    return state->Result;
}

PosixSerialDevice::StepOutcome PosixSerialDevice::Step(PosixTransfer& Transfer)
{
    if (!Transfer.Pending)
        return StepOutcome::Finished();
    Transfer.ConsumeWake(); // what woke it is looked at now
    if (Transfer.Aborted()) {
        Transfer.Finish(AbortedTransferError());
        return StepOutcome::Finished();
    }
    if (Transfer.Direction() == PosixTransfer::Kind::Write)
        return StepWrite(Transfer, false);
    ReadProgress progress;
    {
        std::lock_guard lock(FMutex);
        progress = ReadQueuedLocked(Transfer);
    }
    return ConcludeRead(Transfer, progress);
}

// Moves what the queue holds into the read's buffer; the line is asked only
// when the queue cannot satisfy the read by itself, and read straight into the
// buffer when nothing is queued.
PosixSerialDevice::ReadProgress PosixSerialDevice::ReadQueuedLocked(PosixTransfer& Transfer)
{
    const size_t wanted = Transfer.Count - Transfer.Done;
    if (wanted > 0 && FQueue.Count() == 0 && FQueue.Plain() && !FInputEnded) {
        const size_t got = ReadPastQueueLocked(Transfer.ReadBuffer + Transfer.Done, wanted);
        Transfer.Done += static_cast<uint32_t>(got);
        return {got, FHungUp, WatchingDeviceLocked()};
    }
    if (FQueue.Count() < wanted)
        PullInputLocked();
    const bool wasFull = FQueue.Full();
    const size_t taken = FQueue.Take(Transfer.ReadBuffer + Transfer.Done, wanted);
    if (taken > 0)
        QueueLevelChangedLocked();
    if (wasFull && taken > 0)
        UpdateDeviceWatchLocked(); // room again: the line is worth watching
    Transfer.Done += static_cast<uint32_t>(taken);
    return {taken, FHungUp && FQueue.Count() == 0, WatchingDeviceLocked()};
}

PosixSerialDevice::StepOutcome PosixSerialDevice::ConcludeRead(PosixTransfer& Transfer, const ReadProgress& Progress)
{
    const auto now = SteadyClock::now();
    if (Progress.Taken > 0)
        Transfer.LastByte = now;
    if (Progress.InputGone) {
        // What was queued before the hang-up has been read; after it, reading fails.
        Transfer.Finish(Transfer.Done > 0 ? 0 : EIO);
        return StepOutcome::Finished();
    }
    if (ReadHasEnough(Transfer)) {
        Transfer.Finish(0);
        return StepOutcome::Finished();
    }
    std::optional<SteadyClock::time_point> deadline;
    if (Transfer.Rule.Total)
        deadline = Transfer.Started + *Transfer.Rule.Total;
    if (Transfer.Rule.Interval && Transfer.Done > 0)
        deadline = Earlier(deadline, Transfer.LastByte + *Transfer.Rule.Interval);
    if (deadline && now >= *deadline) {
        Transfer.Finish(0); // a timeout ends a read normally, with what it got
        return StepOutcome::Finished();
    }
    return {false, Progress.WatchDevice, deadline};
}

// One look for a write; the first (First) also takes the write's time limit,
// under the same lock.
PosixSerialDevice::StepOutcome PosixSerialDevice::StepWrite(PosixTransfer& Transfer, bool First)
{
    // The flow control hands out room in parts (the output size); a step
    // goes on with the next part while the kernel takes every byte.
    bool held = false;
    bool kernelTookAll = true;
    while (kernelTookAll && Transfer.Pending && Transfer.Done < Transfer.Count) {
        size_t room = 0;
        bool tracked = false;
        {
            std::lock_guard lock(FMutex);
            if (First)
                Transfer.WriteLimit = WriteLimitFor(FTimeouts, Transfer.Count);
            First = false;
            if (FHungUp) {
                EndWriteLocked(Transfer, EIO);
                return StepOutcome::Finished();
            }
            room = FFlow.TransmitRoom(Transfer.Count - Transfer.Done);
            if (room > 0)
                tracked = FFlow.BeforeTransmit();
            else if (FFlow.WantsLineEmpty())
                RequestTxEmptyLocked(); // room comes when the output has drained
        }
        held = room == 0;
        if (held)
            break;
        kernelTookAll = TransmitStep(Transfer, Transfer.Done + static_cast<uint32_t>(room), tracked);
    }
    if (!Transfer.Pending)
        return StepOutcome::Finished();
    std::optional<SteadyClock::time_point> deadline;
    if (Transfer.WriteLimit)
        deadline = Transfer.Started + *Transfer.WriteLimit;
    if (Transfer.Done == Transfer.Count || (deadline && SteadyClock::now() >= *deadline)) {
        EndWrite(Transfer, 0); // a timeout ends a write normally, with the smaller count
        return StepOutcome::Finished();
    }
    // Held by flow control, the write waits for what releases it (a line
    // change, XON going out, the output drained), not for room in the
    // kernel's buffer.
    return {false, !held, deadline};
}

bool PosixSerialDevice::TransmitStep(PosixTransfer& Transfer, uint32_t Until, bool Tracked)
{
    const uint32_t before = Transfer.Done;
    while (Transfer.Done < Until) {
        const ssize_t sent = write(FFd, Transfer.WriteBuffer + Transfer.Done, Until - Transfer.Done);
        if (sent > 0) {
            Transfer.Done += static_cast<uint32_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno != EAGAIN) {
            const int error = errno;
            std::lock_guard lock(FMutex);
            if (error == EIO)
                NoteHangupLocked();
            if (Tracked)
                FFlow.AfterTransmit();
            EndWriteLocked(Transfer, error);
            return false;
        }
        break; // the kernel's buffer is full
    }
    if (Tracked) {
        std::lock_guard lock(FMutex);
        FFlow.AfterTransmit();
        if (Transfer.Done > before && FFlow.WantsLineEmpty())
            RequestTxEmptyLocked(); // RTS toggling drops RTS once the line is empty
    }
    return Transfer.Done == Until;
}

void PosixSerialDevice::EndWrite(PosixTransfer& Transfer, int Result)
{
    if (Result == 0 && Transfer.Done > 0 && FTxEmptyWanted) {
        std::lock_guard lock(FMutex);
        RequestTxEmptyLocked();
    }
    Transfer.Finish(Result);
}

void PosixSerialDevice::EndWriteLocked(PosixTransfer& Transfer, int Result)
{
    if (Result == 0 && Transfer.Done > 0)
        RequestTxEmptyLocked();
    Transfer.Finish(Result);
}

void PosixSerialDevice::WaitForProgress(PosixTransfer& Transfer, const StepOutcome& Outcome)
{
    const short deviceEvents = Transfer.Direction() == PosixTransfer::Kind::Read ? POLLIN : POLLOUT;
    pollfd watched[2] = {{Transfer.WakeDescriptor(), POLLIN, 0}, {FFd, deviceEvents, 0}};
    const nfds_t count = Outcome.WatchDevice ? 2 : 1;
    if (poll(watched, count, PollTimeout(Outcome.Deadline)) <= 0)
        return; // timed out or interrupted: the next step decides
    if (count == 2 && (watched[1].revents & kHangupEvents)) {
        std::lock_guard lock(FMutex);
        PullInputLocked();
        NoteHangupLocked();
    }
}

} // namespace device
