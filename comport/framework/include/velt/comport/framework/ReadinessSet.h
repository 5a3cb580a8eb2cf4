#pragma once
/// @file
/// One kernel readiness set for the waitable objects a main loop serves:
/// adding, removing and waiting cost the same whether it holds one object or
/// sixty-four, and a wait reports only the members that are signalled, each
/// by the key it was added with. On Linux it is an epoll set, itself one
/// descriptor that a foreign loop (Qt's) can watch with a single notifier;
/// elsewhere the platform's wait over the members.
#include <velt/comport/Export.h>
#include <cstdint>
#include <memory>
#include <vector>

#include <velt/comport/platform/WaitHandle.h>

/// The waitable objects of one main loop, each known by a key.
class VELT_COMPORT_EXPORT ReadinessSet {
public:
    /// Throws std::system_error when the system gives no set.
    ReadinessSet();
    ~ReadinessSet();
    ReadinessSet(const ReadinessSet&) = delete;
    ReadinessSet& operator=(const ReadinessSet&) = delete;

    /// Adds Handle; a wait reports Key while it is signalled. Each handle is
    /// added once. Throws std::system_error when the system refuses it.
    void Add(platform::WaitHandle Handle, uint64_t Key);
    /// Removes Handle; unknown handles are ignored.
    void Remove(platform::WaitHandle Handle);
    /// Waits until a member is signalled or TimeoutMs passes (-1: no limit,
    /// 0: only look); Ready gets the keys of the signalled members (none
    /// after a timeout or an interrupted wait).
    void Wait(int TimeoutMs, std::vector<uint64_t>& Ready);
    /// The one waitable object that is signalled while any member is, where
    /// the platform has one (Linux: the epoll descriptor); false elsewhere.
    bool Waitable(platform::WaitHandle& Handle) const;

private:
    struct State;
    std::unique_ptr<State> FState;
};
