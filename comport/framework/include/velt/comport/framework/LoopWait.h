#pragma once
/// @file
/// How the main thread sleeps while it serves the main-thread queue: until
/// another thread wakes it, one of the waitable objects added is signalled,
/// or a timeout passes. The objects are the members of one readiness set, so
/// a wake-up costs the same however many ports the loop serves; the wake-up
/// is the platform floor's wake event, a member of the same set.
#include <velt/comport/Export.h>
#include <cstdint>
#include <memory>
#include <vector>

#include <velt/comport/framework/ReadinessSet.h>
#include <velt/comport/platform/WaitHandle.h>

namespace platform {
class WakeEvent;
}

/// The main thread's sleep while it serves the main-thread queue.
class VELT_COMPORT_EXPORT LoopWait {
public:
    /// The key the wake-up is reported by inside the set; Wait never
    /// reports it, and no member added may use it.
    static constexpr uint64_t kWakeKey = 0;

    /// Throws std::system_error when the wake-up or the set cannot be made.
    LoopWait();
    ~LoopWait();
    LoopWait(const LoopWait&) = delete;
    LoopWait& operator=(const LoopWait&) = delete;

    /// From any thread: the next (or current) Wait returns.
    void Wake();
    /// The objects waited on besides the wake-up (main thread only).
    ReadinessSet& Members() { return FMembers; }
    /// Sleeps until woken, a member is signalled, or TimeoutMs passes (-1: no
    /// limit, 0: only look). Ready gets the keys of the signalled members.
    void Wait(int TimeoutMs, std::vector<uint64_t>& Ready);

private:
    std::unique_ptr<platform::WakeEvent> FWake;
    ReadinessSet FMembers;
};
