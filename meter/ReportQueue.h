#pragma once
// The error reports of the program (exceptions nobody caught in a handler),
// shown one box at a time on the main thread. Reports that come while a box
// is open wait, at most kMaxWaitingReports of them; the rest are counted and
// one last box says how many were left out, so a burst of failures cannot
// pile up boxes without end. A report from another thread is queued and the
// main thread is woken to show it: boxes belong to the main thread.
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

constexpr std::size_t kMaxWaitingReports = 8;

class ReportQueue {
public:
    using ShowBox = std::function<void(const std::string& Text)>;
    using WakeMainThread = std::function<void()>;

    // Made on the main thread. Show shows one modal box. Wake, called from
    // another thread, makes the main thread call ShowWaiting soon.
    ReportQueue(ShowBox Show, WakeMainThread Wake);

    // From any thread.
    void Report(const std::string& Message);
    // On the main thread: shows what waits, unless a box is open already.
    void ShowWaiting();

    // Makes this queue the framework's exception report (null: none).
    static void Install(ReportQueue* Queue);

private:
    // Takes the next box's text; false when nothing waits.
    bool TakeNext(std::string& Text);

    ShowBox FShow;
    WakeMainThread FWake;
    std::thread::id FMainThread;
    std::mutex FLock;
    std::deque<std::string> FWaiting;
    std::size_t FDropped = 0;
    bool FShowing = false; // main thread only
};
