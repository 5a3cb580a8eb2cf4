#include <velt/comport/framework/MainThreadQueue.h>

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
        waiting = !FItems.empty();
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

std::shared_ptr<MainThreadQueue::Progress> MainThreadQueue::Enqueue(std::function<void()> Call,
                                                                     bool SenderTakesError)
{
    auto state = std::make_shared<Progress>();
    bool wakeLoop = false;
    {
        std::lock_guard lock(FLock);
        FItems.push_back({std::move(Call), state, SenderTakesError});
        // One wake-up is enough until the loop has drained: a burst of
        // hand-overs does not flood the loop with wake-ups.
        wakeLoop = !FWakePending;
        FWakePending = true;
    }
    FMainWakes.notify_all();
    if (wakeLoop)
        Wake();
    return state;
}

void MainThreadQueue::RunOnMain(std::function<void()> Call)
{
    if (IsMainThread()) {
        Call();
        return;
    }
    auto state = Enqueue(std::move(Call), true);
    std::unique_lock lock(FLock);
    FSenderWakes.wait(lock, [&] { return state->Finished; });
    if (state->Error)
        std::rethrow_exception(state->Error);
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
    auto state = Enqueue(std::move(Call), false);
    std::unique_lock lock(FLock);
    FSenderWakes.wait(lock, [&] { return state->Started; });
}

bool MainThreadQueue::RunNext()
{
    Item item;
    {
        std::lock_guard lock(FLock);
        if (FItems.empty())
            return false;
        item = std::move(FItems.front());
        FItems.pop_front();
        item.State->Started = true;
    }
    FSenderWakes.notify_all();
    std::exception_ptr error;
    try {
        item.Call();
    } catch (...) {
        error = std::current_exception();
    }
    item.Call = nullptr;  // what the call captured is released here, on the main thread
    if (error && !item.SenderTakesError) {
        ReportException(error);
        error = nullptr;
    }
    {
        // The state and the exception go to the sender whole: this thread
        // lets go of them before the sender can wake, so the sender alone
        // frees them.
        std::lock_guard lock(FLock);
        item.State->Finished = true;
        item.State->Error = std::move(error);
        item.State.reset();
    }
    FSenderWakes.notify_all();
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
}

void MainThreadQueue::WaitWhileServing(const std::function<bool()>& Done)
{
    std::unique_lock lock(FLock);
    while (!Done()) {
        if (FItems.empty()) {
            FMainWakes.wait(lock);
            continue;
        }
        lock.unlock();
        RunNext();
        lock.lock();
    }
}

bool MainThreadQueue::ServeUntil(const std::function<bool()>& Done, std::chrono::steady_clock::time_point Deadline)
{
    std::unique_lock lock(FLock);
    while (!Done()) {
        if (FItems.empty()) {
            if (FMainWakes.wait_until(lock, Deadline) == std::cv_status::timeout)
                return Done();
            continue;
        }
        lock.unlock();
        RunNext();
        lock.lock();
    }
    return true;
}

void MainThreadQueue::WakeWaiters()
{
    {
        // Taking the lock orders this wake-up after a waiter's check of its
        // condition, so the wake-up cannot fall between check and sleep.
        std::lock_guard lock(FLock);
    }
    FMainWakes.notify_all();
}

size_t MainThreadQueue::Queued() const
{
    std::lock_guard lock(FLock);
    return FItems.size();
}
