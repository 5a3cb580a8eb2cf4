#pragma once
/// @file
/// The main-thread hand-over: other threads put calls in, the main thread runs
/// them. A sender either blocks until its call has returned (and gets the
/// call's exception back), or only until the main thread has started it.
///
/// The main thread is the one that called SetMainThread; until something
/// calls it, it is the first thread that asked for the queue (in practice the
/// one that opens the first port). The application tells the queue how to
/// wake its main loop (SetWakeup); the loop then calls Drain. Without a loop,
/// the main thread serves the queue by calling Drain or WaitWhileServing.
#include <velt/comport/Export.h>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class VELT_COMPORT_EXPORT MainThreadQueue {
public:
    static MainThreadQueue& Instance();

    /// Makes the calling thread the main thread.
    void SetMainThread();
    bool IsMainThread() const;

    /// How to make the main loop call Drain soon; called from the thread that
    /// queued a call, never while the queue's lock is held. Empty: no wake-up
    /// (the main thread then drains by itself).
    void SetWakeup(std::function<void()> Wakeup);

    /// Runs Call on the main thread and returns when it has returned; an
    /// exception it raised is raised again here. On the main thread itself the
    /// call runs at once.
    void RunOnMain(std::function<void()> Call);
    /// Runs Call on the main thread and returns as soon as the main thread has
    /// started it. Call must handle its own exceptions: one that escapes is
    /// given to the exception report.
    void RunOnMainUntilStarted(std::function<void()> Call);

    /// Main thread: runs every queued call, including those queued meanwhile.
    void Drain();
    /// Main thread: serves the queue until Done holds. Whoever changes what
    /// Done reads must call WakeWaiters afterwards. No polling: the thread
    /// sleeps until a call is queued or WakeWaiters is called. Done is checked
    /// under the queue's lock, so it must only read (a flag, a counter).
    void WaitWhileServing(const std::function<bool()>& Done);
    /// Like WaitWhileServing, giving up at the deadline; true when Done holds.
    bool ServeUntil(const std::function<bool()>& Done, std::chrono::steady_clock::time_point Deadline);
    void WakeWaiters();

    /// The number of calls waiting to be started.
    size_t Queued() const;

private:
    MainThreadQueue();

    struct Progress {
        bool Started = false;
        bool Finished = false;
        std::exception_ptr Error;
    };
    struct Item {
        std::function<void()> Call;
        std::shared_ptr<Progress> State;
        bool SenderTakesError = false;  ///< else an escaping exception is reported
    };

    std::shared_ptr<Progress> Enqueue(std::function<void()> Call, bool SenderTakesError);
    void Wake();
    bool RunNext();

    mutable std::mutex FLock;
    std::condition_variable FMainWakes;    ///< the main thread: a call came or a waiter's condition changed
    std::condition_variable FSenderWakes;  ///< senders: a call started or finished
    std::deque<Item> FItems;
    std::thread::id FMainThread;
    bool FWakePending = false;

    std::mutex FWakeLock;  ///< keeps the wake-up alive while it runs
    std::function<void()> FWakeup;
};
