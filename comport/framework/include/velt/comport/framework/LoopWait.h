#pragma once
/// @file
/// How the main thread sleeps while it serves the main-thread queue: until
/// another thread wakes it, one of the given waitable objects is signalled, or
/// a timeout passes. The wake-up is the platform floor's wake event; the wait
/// is platform code (poll() on POSIX systems, WaitForMultipleObjects on
/// Windows).
#include <velt/comport/Export.h>
#include <memory>
#include <vector>

#include <velt/comport/platform/WaitHandle.h>

namespace platform {
class WakeEvent;
}

/// The main thread's sleep while it serves the main-thread queue.
class VELT_COMPORT_EXPORT LoopWait {
public:
    /// Throws std::runtime_error when the wake-up object cannot be made.
    LoopWait();
    ~LoopWait();
    LoopWait(const LoopWait&) = delete;
    LoopWait& operator=(const LoopWait&) = delete;

    /// From any thread: the next (or current) Wait returns.
    void Wake();
    /// Sleeps until woken, a handle is signalled, or TimeoutMs passes (-1: no
    /// limit, 0: only look). Ready[i] tells whether Handles[i] is signalled.
    void Wait(const std::vector<platform::WaitHandle>& Handles, int TimeoutMs, std::vector<char>& Ready);

private:
    std::unique_ptr<platform::WakeEvent> FWake;
};
