#include "PosixTransfer.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "WakeDescriptor.h"
#include "WaitDescriptor.h"

namespace device {

PosixTransfer::PosixTransfer(std::shared_ptr<PendingTransfers> Transfers, Kind Direction)
    : FPending(std::move(Transfers)), FDirection(Direction), FAbortMark(FPending->Of(Direction).Aborts.load())
{
    Started = LastByte = SteadyClock::now();
}

PosixTransfer::~PosixTransfer()
{
    if (Queued) {
        // Under the queue's lock, which the pump holds while it steps the state.
        FPending->Remove(this);
        // Waits for a Finish still signalling on another thread.
        std::lock_guard lock(FEndMutex);
    }
}

WaitHandle PosixTransfer::EndWaitable()
{
    std::lock_guard lock(FEndMutex);
    if (!FEnd.Valid()) {
        FEnd = platform::NewWakeDescriptor(Ended());
        if (!FEnd.Valid())
            throw std::system_error(errno, std::generic_category(), "Cannot create a transfer's end event");
    }
    return platform::WaitHandleOf(FEnd.Get());
}

void PosixTransfer::AwaitEnd() const { FEnded.wait(false, std::memory_order_acquire); }

bool PosixTransfer::Aborted() const { return FPending->Of(FDirection).Aborts.load() != FAbortMark; }

void PosixTransfer::Finish(int EndResult)
{
    Result = EndResult;
    if (!Queued) {
        // Ended in its first step: only its starter has seen it.
        FEnded.store(true, std::memory_order_relaxed);
        return;
    }
    std::lock_guard lock(FEndMutex);
    FEnded.store(true, std::memory_order_release);
    if (FEnd.Valid())
        platform::SignalWake(FEnd.Get());
    FEnded.notify_all();
}

void PendingTransfers::Add(Queue& Into, PosixTransfer* Transfer)
{
    Into.Order.push_back(Transfer);
    Transfer->Queued = true;
    ++FCount;
}

void PendingTransfers::Remove(PosixTransfer* Transfer)
{
    Queue& queue = Of(Transfer->Direction());
    std::lock_guard lock(queue.Mutex);
    auto position = std::find(queue.Order.begin(), queue.Order.end(), Transfer);
    if (position == queue.Order.end())
        return;
    RemoveLocked(queue, position);
    if (!Transfer->DrivenByAwaiter)
        return;
    // Freed before its awaiter came: what queued behind it goes to the pump.
    AwaiterDone(queue);
    if (!queue.Order.empty())
        WakePump();
}

void PendingTransfers::RemoveLocked(Queue& From, std::deque<PosixTransfer*>::iterator& Position)
{
    Position = From.Order.erase(Position);
    --FCount;
}

int PendingTransfers::PumpWakeFd()
{
    std::lock_guard lock(FPumpFdMutex);
    if (!FPumpWake.Valid()) {
        FPumpWake = platform::NewWakeDescriptor();
        FPumpWakeFd = FPumpWake.Get();
    }
    return FPumpWakeFd;
}

void PendingTransfers::WakePump()
{
    const int wakeFd = FPumpWakeFd.load();
    if (wakeFd >= 0)
        platform::SignalWake(wakeFd);
}

int PendingTransfers::LetAwaiterDrive(Queue& Into)
{
    if (!Into.AwaiterWake.Valid()) {
        Into.AwaiterWake = platform::NewWakeDescriptor();
        if (!Into.AwaiterWake.Valid())
            return errno;
    }
    ++Into.Awaiters;
    return 0;
}

void PendingTransfers::WakeAwaiters()
{
    for (Queue* queue : {&FReads, &FWrites})
        if (queue->Awaiters.load() > 0)
            platform::SignalWake(queue->AwaiterWake.Get());
}

void PendingTransfers::Abort(bool Reads, bool Writes)
{
    if (Reads)
        ++FReads.Aborts;
    if (Writes)
        ++FWrites.Aborts;
}

} // namespace device
