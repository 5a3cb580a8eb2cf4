// Reads and writes of the POSIX serial device. A transfer is started with one
// look that never blocks; when that does not end it, it joins the queue of
// its direction, where only the first moves bytes, with the deadlines of the
// timeouts counted from the start. The device's transfer pump moves the
// queues on while nobody awaits; a synchronous read or write is moved on by
// its own await instead.
#include <algorithm>
#include <cerrno>
#include <new>
#include <poll.h>
#include <unistd.h>

#include "PosixSerialDevice.h"

namespace device {

namespace {

std::optional<SteadyClock::time_point> Earlier(std::optional<SteadyClock::time_point> A,
                                               std::optional<SteadyClock::time_point> B)
{
    if (!A)
        return B;
    if (!B)
        return A;
    return std::min(*A, *B);
}

bool ReadHasEnough(const PosixTransfer& Transfer)
{
    return Transfer.Done == Transfer.Count || Transfer.Rule.ReturnAtOnce ||
           (Transfer.Rule.ReturnAfterFirstByte && Transfer.Done > 0);
}

} // namespace

int PosixSerialDevice::StartRead(IoBlock& Block, char* Buffer, uint32_t Count, uint32_t& Done)
{
    auto transfer = std::make_unique<PosixTransfer>(FPending, PosixTransfer::Kind::Read);
    transfer->ReadBuffer = Buffer;
    transfer->Count = Count;
    PosixTransfer& state = *transfer;
    Block.State = std::move(transfer);
    PendingTransfers::Queue& queue = FPending->Of(PosixTransfer::Kind::Read);
    std::lock_guard turn(queue.Mutex);
    const bool first = queue.Order.empty(); // else the bytes are the earlier reads' first
    ReadProgress progress;
    {
        std::lock_guard lock(FMutex);
        state.Rule = ReadRuleFor(FTimeouts, Count);
        if (first)
            progress = ReadQueuedLocked(state);
    }
    if (first)
        ConcludeRead(state, progress);
    return Begun(queue, state, Block.AwaitFollows, Done);
}

int PosixSerialDevice::StartWrite(IoBlock& Block, const char* Buffer, uint32_t Count, uint32_t& Done)
{
    auto transfer = std::make_unique<PosixTransfer>(FPending, PosixTransfer::Kind::Write);
    transfer->WriteBuffer = Buffer;
    transfer->Count = Count;
    PosixTransfer& state = *transfer;
    Block.State = std::move(transfer);
    PendingTransfers::Queue& queue = FPending->Of(PosixTransfer::Kind::Write);
    std::lock_guard turn(queue.Mutex);
    if (queue.Order.empty()) {
        StepWrite(state, true);
    } else {
        std::lock_guard lock(FMutex); // it waits its turn behind the earlier writes
        state.WriteLimit = WriteLimitFor(FTimeouts, Count);
    }
    return Begun(queue, state, Block.AwaitFollows, Done);
}

// After the first step: a transfer that has ended reports its outcome; one
// that goes on joins its queue. The pump moves it on, unless it leads its
// queue and its starter awaits it at once: then that await does, as cheaply
// as a plain wait on the line. A transfer that cannot have either (out of
// threads or descriptors) ends with the reason.
int PosixSerialDevice::Begun(PendingTransfers::Queue& Queue, PosixTransfer& Transfer, bool AwaitFollows, uint32_t& Done)
{
    Done = 0;
    if (!Transfer.Ended()) {
        const bool awaiterDrives = AwaitFollows && Queue.Order.empty();
        const int error = awaiterDrives ? FPending->LetAwaiterDrive(Queue) : StartPump();
        if (error == 0) {
            Transfer.DrivenByAwaiter = awaiterDrives;
            FPending->Add(Queue, &Transfer);
            if (!awaiterDrives)
                FPending->WakePump();
            return kIoPending;
        }
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
    if (state->DrivenByAwaiter) {
        DriveUntilEnded(*state);
        state->DrivenByAwaiter = false; // out of its queue: only this thread sees it
    } else if (!state->Ended()) {
        state->AwaitEnd();
    }
    Done = state->Done;
    return state->Result;
}

// The awaiter of a synchronous transfer moves its queue on, waiting in
// poll() over the line and its wake-up descriptor, until its transfer ends;
// what is left in the queue then goes to the pump.
void PosixSerialDevice::DriveUntilEnded(PosixTransfer& Transfer)
{
    PendingTransfers::Queue& queue = FPending->Of(Transfer.Direction());
    const short lineReady = Transfer.Direction() == PosixTransfer::Kind::Read ? POLLIN : POLLOUT;
    for (;;) {
        const StepOutcome waits = AdvanceQueue(queue, false);
        if (Transfer.Ended())
            break;
        if (WaitForTransferNews(queue.AwaiterWake.Get(), FFd,
                                {waits.WatchDevice ? lineReady : short{0}, waits.Deadline}))
            LineHungUp();
    }
    std::unique_lock turn(queue.Mutex);
    FPending->AwaiterDone(queue);
    if (queue.Order.empty())
        return;
    if (const int error = StartPump(); error != 0) {
        for (auto position = queue.Order.begin(); position != queue.Order.end();) {
            (*position)->Finish(error);
            FPending->RemoveLocked(queue, position);
        }
        return;
    }
    turn.unlock();
    FPending->WakePump();
}

// One round of the pump: every pending transfer of both directions is
// looked at once.
PumpWait PosixSerialDevice::AdvancePending()
{
    PumpWait wait;
    for (const auto direction : {PosixTransfer::Kind::Read, PosixTransfer::Kind::Write}) {
        const StepOutcome outcome = AdvanceQueue(FPending->Of(direction), true);
        if (outcome.WatchDevice)
            wait.DeviceEvents |= direction == PosixTransfer::Kind::Read ? POLLIN : POLLOUT;
        wait.Deadline = Earlier(wait.Deadline, outcome.Deadline);
    }
    return wait;
}

// The first transfer of a queue moves bytes; those behind it only wait for
// their turn, their deadline or an abort. Returns what the queue waits for:
// the device when its first transfer does, and the earliest deadline. The
// pump (ForPump) leaves a queue that a synchronous transfer's awaiter leads.
PosixSerialDevice::StepOutcome PosixSerialDevice::AdvanceQueue(PendingTransfers::Queue& Queue, bool ForPump)
{
    std::lock_guard turn(Queue.Mutex);
    StepOutcome waits;
    if (ForPump && Queue.AwaiterLeads())
        return waits;
    bool first = true;
    for (auto position = Queue.Order.begin(); position != Queue.Order.end();) {
        PosixTransfer& transfer = **position;
        const StepOutcome outcome = first ? StepOrFail(transfer) : StepWaitingTurn(transfer);
        if (outcome.Ended) {
            FPending->RemoveLocked(Queue, position);
            continue;
        }
        waits.WatchDevice = waits.WatchDevice || (first && outcome.WatchDevice);
        waits.Deadline = Earlier(waits.Deadline, outcome.Deadline);
        first = false;
        ++position;
    }
    return waits;
}

PosixSerialDevice::StepOutcome PosixSerialDevice::Step(PosixTransfer& Transfer)
{
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

// A step runs on the pump's thread as often as on the caller's: what it
// throws (the receive queue's first bytes find no memory) ends the transfer
// with the reason instead of the program.
PosixSerialDevice::StepOutcome PosixSerialDevice::StepOrFail(PosixTransfer& Transfer)
{
    try {
        return Step(Transfer);
    } catch (const std::bad_alloc&) {
        Transfer.Finish(ENOMEM);
        return StepOutcome::Finished();
    }
}

// A transfer behind others moves no byte, so only its total limit can end it
// (a read that returns at once returns with nothing).
PosixSerialDevice::StepOutcome PosixSerialDevice::StepWaitingTurn(PosixTransfer& Transfer)
{
    if (Transfer.Aborted()) {
        Transfer.Finish(AbortedTransferError());
        return StepOutcome::Finished();
    }
    const bool read = Transfer.Direction() == PosixTransfer::Kind::Read;
    const std::optional<Milliseconds> limit = read ? Transfer.Rule.Total : Transfer.WriteLimit;
    std::optional<SteadyClock::time_point> deadline;
    if (limit)
        deadline = Transfer.Started + *limit;
    if ((read && Transfer.Rule.ReturnAtOnce) || (deadline && SteadyClock::now() >= *deadline)) {
        Transfer.Finish(0);
        return StepOutcome::Finished();
    }
    return {false, false, deadline};
}

int PosixSerialDevice::StartPump()
{
    const int wakeFd = FPending->PumpWakeFd();
    return wakeFd < 0 ? errno : FPump.Start(wakeFd);
}

void PosixSerialDevice::TellPendingTransfers()
{
    if (!FPending->AnyPending())
        return;
    FPending->WakePump();
    FPending->WakeAwaiters();
}

void PosixSerialDevice::LineHungUp()
{
    std::lock_guard lock(FMutex);
    PullInputLocked();
    NoteHangupLocked();
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
    while (kernelTookAll && !Transfer.Ended() && Transfer.Done < Transfer.Count) {
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
    if (Transfer.Ended())
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

} // namespace device
