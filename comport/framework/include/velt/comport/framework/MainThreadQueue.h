#pragma once
/// @file
/// The main-thread hand-over: other threads put calls in, the main thread runs
/// them. A sender either blocks until its call has returned (and gets the
/// call's exception back), or only until the main thread has started it; it is
/// woken once, at that moment. A queued call lives on its sender's stack, so a
/// hand-over allocates nothing.
///
/// The main thread is the one that called SetMainThread; until something
/// calls it, it is the first thread that asked for the queue (in practice the
/// one that opens the first port). The application tells the queue how to
/// wake its main loop (SetWakeup); the loop then calls Drain. Without a loop,
/// the main thread serves the queue by calling Drain, WaitWhileServing or
/// ServeUntil.
///
/// The main loop may also wait on waitable objects for the component (see
/// MainLoopWatcher): the application installs its loop's watcher with
/// SetLoopWatcher, or calls ServeAsMainLoop when its serving of this queue is
/// its main loop. Without either, ports wait for line events on threads.
#include <velt/comport/Export.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <velt/comport/framework/LoopWait.h>
#include <velt/comport/framework/MainLoopWatcher.h>
#include <velt/comport/framework/ReadinessWatcher.h>

/// The main-thread hand-over queue: the port's event thread hands handlers
/// to the main thread through it (smThreadSync, smWindowSync).
class VELT_COMPORT_EXPORT MainThreadQueue {
public:
    static MainThreadQueue& Instance(); ///< The one queue of the program.

    /// Makes the calling thread the main thread.
    void SetMainThread();
    bool IsMainThread() const; ///< Whether the calling thread is the main thread.

    /// How to make the main loop call Drain soon; called from the thread that
    /// queued a call, never while the queue's lock is held. Empty: no wake-up
    /// (the main thread then drains by itself).
    void SetWakeup(std::function<void()> Wakeup);

    /// Runs Call on the main thread and returns when it has returned; an
    /// exception it raised is raised again here. On the main thread itself the
    /// call runs at once.
    void RunOnMain(const std::function<void()>& Call);
    /// Runs Call on the main thread and returns as soon as the main thread has
    /// started it. Call must handle its own exceptions: one that escapes is
    /// given to the exception report.
    void RunOnMainUntilStarted(std::function<void()> Call);

    /// Main thread: runs every queued call, including those queued meanwhile,
    /// and, when the queue's serving is the main loop, what the watched
    /// objects that are signalled now call for.
    void Drain();
    /// Main thread: serves the queue until Done holds. Whoever changes what
    /// Done reads must call WakeWaiters afterwards. No polling: the thread
    /// sleeps until a call is queued, WakeWaiters is called or (when the
    /// queue's serving is the main loop) a watched object is signalled. Done
    /// is checked under the queue's lock, so it must only read.
    void WaitWhileServing(const std::function<bool()>& Done);
    /// Like WaitWhileServing, giving up at the deadline; true when Done holds.
    bool ServeUntil(const std::function<bool()>& Done, std::chrono::steady_clock::time_point Deadline);
    void WakeWaiters(); ///< Makes a WaitWhileServing() or ServeUntil() look at its condition again.

    /// The number of calls waiting to be started.
    size_t Queued() const;

    /// The main loop's watcher, or null while no main loop is known.
    void SetLoopWatcher(MainLoopWatcher* Watcher);
    MainLoopWatcher* LoopWatcher() const; ///< The main loop's watcher, or null.
    /// The program's own serving of this queue (Drain, WaitWhileServing,
    /// ServeUntil) is its main loop: it becomes the loop watcher.
    void ServeAsMainLoop();

private:
    MainThreadQueue();

    /// A queued call, on the stack of the thread that queued it.
    struct Item {
        /// A sender that waits for the end lends its call; one released at
        /// the start gives it away: the main thread moves it out and keeps it.
        const std::function<void()>* Call = nullptr;
        std::function<void()>* GivenCall = nullptr;
        bool Released = false;
        std::exception_ptr Error;
        std::condition_variable SenderWakes;
        Item* Next = nullptr;
    };

    void Enqueue(Item& Entry);
    void Wake();
    bool RunNext();
    /// Sleeps until woken or a watched object is signalled (TimeoutMs as
    /// poll), then calls what the signalled objects' watches call for.
    void SleepUnlocked(int TimeoutMs);

    mutable std::mutex FLock;
    Item* FHead = nullptr;
    Item* FTail = nullptr;
    size_t FQueued = 0;
    std::thread::id FMainThread;
    bool FWakePending = false;
    bool FMainSleeps = false; ///< the main thread sleeps in FLoopWait
    LoopWait FLoopWait;
    ReadinessWatcher FOwnLoop{FLoopWait.Members()};      ///< the watches while serving is the main loop
    std::atomic<MainLoopWatcher*> FLoopWatcher{nullptr}; ///< set on the main thread

    std::mutex FWakeLock; ///< keeps the wake-up alive while it runs
    std::function<void()> FWakeup;
};
