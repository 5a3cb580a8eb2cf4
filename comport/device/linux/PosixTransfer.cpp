#include "PosixTransfer.h"

#include <algorithm>
#include <cerrno>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

#include "EventFd.h"
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
    if (FEndFd >= 0)
        close(FEndFd);
}

WaitHandle PosixTransfer::EndWaitable()
{
    std::lock_guard lock(FEndMutex);
    if (FEndFd < 0) {
        FEndFd = eventfd(Ended() ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (FEndFd < 0)
            throw std::system_error(errno, std::generic_category(), "Cannot create a transfer's end event");
    }
    return WaitHandleOf(FEndFd);
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
    if (FEndFd >= 0)
        SignalEventFd(FEndFd);
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

PendingTransfers::~PendingTransfers()
{
    for (Queue* queue : {&FReads, &FWrites})
        if (queue->AwaiterWakeFd >= 0)
            close(queue->AwaiterWakeFd);
    if (FPumpWakeFd >= 0)
        close(FPumpWakeFd);
}

int PendingTransfers::PumpWakeFd()
{
    std::lock_guard lock(FPumpFdMutex);
    if (FPumpWakeFd < 0)
        FPumpWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return FPumpWakeFd;
}

void PendingTransfers::WakePump()
{
    const int wakeFd = FPumpWakeFd.load();
    if (wakeFd >= 0)
        SignalEventFd(wakeFd);
}

int PendingTransfers::LetAwaiterDrive(Queue& Into)
{
    if (Into.AwaiterWakeFd < 0) {
        Into.AwaiterWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (Into.AwaiterWakeFd < 0)
            return errno;
    }
    ++Into.Awaiters;
    return 0;
}

void PendingTransfers::WakeAwaiters()
{
    for (Queue* queue : {&FReads, &FWrites})
        if (queue->Awaiters.load() > 0)
            SignalEventFd(queue->AwaiterWakeFd);
}

void PendingTransfers::Abort(bool Reads, bool Writes)
{
    if (Reads)
        ++FReads.Aborts;
    if (Writes)
        ++FWrites.Aborts;
}

} // namespace device
