#include <velt/comport/framework/MainThreadQueue.h>

#include <algorithm>
#include <climits>

#include <velt/comport/framework/ExceptionReport.h>

MainThreadQueue& MainThreadQueue::Instance()
{
    static MainThreadQueue queue;
    return queue;
}

MainThreadQueue::MainThreadQueue() : FMainThread(std::this_thread::get_id()) {}

void MainThreadQueue::SetMainThread()
{
    std::lock_guard lock(FLock);
    FMainThread = std::this_thread::get_id();
}

bool MainThreadQueue::IsMainThread() const
{
    std::lock_guard lock(FLock);
    return FMainThread == std::this_thread::get_id();
}

void MainThreadQueue::SetWakeup(std::function<void()> Wakeup)
{
    {
        std::lock_guard wakeLock(FWakeLock);
        FWakeup = std::move(Wakeup);
    }
    // Calls queued before there was a way to wake the loop must not wait
    // for the next call to be noticed.
    bool waiting = false;
    {
        std::lock_guard lock(FLock);
        waiting = FHead != nullptr;
        FWakePending = waiting;
    }
    if (waiting)
        Wake();
}

void MainThreadQueue::Wake()
{
    std::lock_guard wakeLock(FWakeLock);
    if (FWakeup)
        FWakeup();
}

void MainThreadQueue::Enqueue(Item& Entry)
{
    bool wakeLoop = false;
    bool wakeSleeper = false;
    {
        std::lock_guard lock(FLock);
        if (FTail != nullptr)
            FTail->Next = &Entry;
        else
            FHead = &Entry;
        FTail = &Entry;
        ++FQueued;
        // One wake-up is enough until the loop has drained: a burst of
        // hand-overs does not flood the loop with wake-ups.
        wakeLoop = !FWakePending;
        FWakePending = true;
        wakeSleeper = FMainSleeps;
    }
    if (wakeSleeper)
        FLoopWait.Wake();
    if (wakeLoop)
        Wake();
}

void MainThreadQueue::RunOnMain(const std::function<void()>& Call)
{
    if (IsMainThread()) {
        Call();
        return;
    }
    Item entry;
    entry.Call = &Call;
    Enqueue(entry);
    std::unique_lock lock(FLock);
    entry.SenderWakes.wait(lock, [&] { return entry.Released; });
    if (entry.Error)
        std::rethrow_exception(entry.Error);
}

void MainThreadQueue::RunOnMainUntilStarted(std::function<void()> Call)
{
    if (IsMainThread()) {
        try {
            Call();
        } catch (...) {
            ReportException(std::current_exception());
        }
        return;
    }
    Item entry;
    entry.GivenCall = &Call;
    Enqueue(entry);
    std::unique_lock lock(FLock);
    entry.SenderWakes.wait(lock, [&] { return entry.Released; });
}

// The sender is told under the lock: it cannot return, and take its entry
// with it, before this thread has let go of the entry.
bool MainThreadQueue::RunNext()
{
    Item* entry;
    std::function<void()> detached; // a released sender's call, moved here
    const std::function<void()>* call;
    {
        std::lock_guard lock(FLock);
        entry = FHead;
        if (entry == nullptr)
            return false;
        FHead = entry->Next;
        if (FHead == nullptr)
            FTail = nullptr;
        --FQueued;
        call = entry->Call;
        if (entry->GivenCall != nullptr) {
            detached = std::move(*entry->GivenCall);
            call = &detached;
            entry->Released = true;
            entry->SenderWakes.notify_one();
            entry = nullptr; // gone with its sender
        }
    }
    std::exception_ptr error;
    try {
        (*call)();
    } catch (...) {
        error = std::current_exception();
    }
    detached = nullptr; // what the call captured is released here, on the main thread
    if (entry == nullptr) {
        if (error)
            ReportException(error);
        return true;
    }
    std::lock_guard lock(FLock);
    entry->Error = std::move(error);
    entry->Released = true;
    entry->SenderWakes.notify_one();
    return true;
}

void MainThreadQueue::Drain()
{
    {
        std::lock_guard lock(FLock);
        FWakePending = false;
    }
    while (RunNext()) {
    }
    if (!FOwnLoop.Empty()) {
        SleepUnlocked(0);
        while (RunNext()) {
        }
    }
}

// The set holds only the queue's own watches: those made while its serving
// was the main loop, served for as long as they last. The keys are this
// turn's own: a watch's call may serve the queue again, and so come back
// here, before the turn has ended.
void MainThreadQueue::SleepUnlocked(int TimeoutMs)
{
    std::vector<uint64_t> ready;
    FLoopWait.Wait(TimeoutMs, ready);
    FOwnLoop.Dispatch(ready);
}

void MainThreadQueue::WaitWhileServing(const std::function<bool()>& Done)
{
    ServeUntil(Done, std::chrono::steady_clock::time_point::max());
}

bool MainThreadQueue::ServeUntil(const std::function<bool()>& Done, std::chrono::steady_clock::time_point Deadline)
{
    using namespace std::chrono;
    std::unique_lock lock(FLock);
    while (!Done()) {
        if (FHead != nullptr) {
            lock.unlock();
            RunNext();
            lock.lock();
            continue;
        }
        int timeout = -1;
        if (Deadline != steady_clock::time_point::max()) {
            const auto left = ceil<milliseconds>(Deadline - steady_clock::now()).count();
            if (left <= 0)
                return false;
            timeout = static_cast<int>(std::min<int64_t>(left, INT_MAX));
        }
        // Checked and marked under the lock: a wake-up after the check
        // finds the mark and cannot be lost.
        FMainSleeps = true;
        lock.unlock();
        SleepUnlocked(timeout);
        lock.lock();
        FMainSleeps = false;
    }
    return true;
}

void MainThreadQueue::WakeWaiters()
{
    bool sleeping;
    {
        std::lock_guard lock(FLock);
        sleeping = FMainSleeps;
    }
    if (sleeping)
        FLoopWait.Wake();
}

size_t MainThreadQueue::Queued() const
{
    std::lock_guard lock(FLock);
    return FQueued;
}

void MainThreadQueue::SetLoopWatcher(MainLoopWatcher* Watcher) { FLoopWatcher = Watcher; }

MainLoopWatcher* MainThreadQueue::LoopWatcher() const { return FLoopWatcher; }

void MainThreadQueue::ServeAsMainLoop()
{
    SetMainThread();
    FLoopWatcher = &FOwnLoop;
}
