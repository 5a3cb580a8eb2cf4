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
    entry.Call = &Call;
    entry.SenderWaitsForEnd = false;
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
        if (!entry->SenderWaitsForEnd) {
            detached = std::move(*const_cast<std::function<void()>*>(entry->Call));
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
    if (FLoopWatcher == &FOwnLoop && !FOwnLoop.Empty()) {
        FOwnLoop.WaitAndDispatch(FLoopWait, 0);
        while (RunNext()) {
        }
    }
}

void MainThreadQueue::SleepUnlocked(int TimeoutMs)
{
    if (FLoopWatcher == &FOwnLoop)
        FOwnLoop.WaitAndDispatch(FLoopWait, TimeoutMs);
    else {
        static const std::vector<platform::WaitHandle> kNone;
        std::vector<char> ready;
        FLoopWait.Wait(kNone, TimeoutMs, ready);
    }
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

// ---- The queue's own serving as a main loop ------------------------------------------

int MainThreadQueue::OwnLoop::Watch(platform::WaitHandle Handle, std::function<void()> Ready)
{
    const int id = FNextId++;
    FWatches.push_back({id, Handle, std::make_shared<std::function<void()>>(std::move(Ready))});
    return id;
}

void MainThreadQueue::OwnLoop::Unwatch(int Id)
{
    auto it = std::find_if(FWatches.begin(), FWatches.end(), [Id](const Watched& w) { return w.Id == Id; });
    if (it == FWatches.end())
        return;
    *it->Ready = nullptr; // a call still to come in this turn is skipped
    FWatches.erase(it);
}

void MainThreadQueue::OwnLoop::WaitAndDispatch(LoopWait& Wait, int TimeoutMs)
{
    FHandles.clear();
    for (const Watched& w : FWatches)
        FHandles.push_back(w.Handle);
    Wait.Wait(FHandles, TimeoutMs, FReady);
    // What a call watches or unwatches changes FWatches: keep the callbacks
    // of this turn alive and skip those unwatched meanwhile.
    std::vector<std::shared_ptr<std::function<void()>>> due;
    for (size_t i = 0; i < FReady.size() && i < FWatches.size(); ++i)
        if (FReady[i])
            due.push_back(FWatches[i].Ready);
    for (const auto& ready : due)
        if (*ready)
            (*ready)();
}
