#pragma once
/// @file
/// A main loop's watches kept in one readiness set: each watched object is a
/// member of the set under the watch's id, and one turn of the loop calls
/// what the signalled members' watches call for, looking nothing else up.
#include <velt/comport/Export.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include <velt/comport/framework/MainLoopWatcher.h>
#include <velt/comport/framework/ReadinessSet.h>

/// The watches of a loop that waits on a readiness set (the set is the
/// loop's; main thread only).
class VELT_COMPORT_EXPORT ReadinessWatcher : public MainLoopWatcher {
public:
    /// Watches in Set, which must outlive the watcher.
    explicit ReadinessWatcher(ReadinessSet& Set) : FSet(Set) {}
    ~ReadinessWatcher() override;
    ReadinessWatcher(const ReadinessWatcher&) = delete;
    ReadinessWatcher& operator=(const ReadinessWatcher&) = delete;

    /// Adds Handle to the set; throws std::system_error when the set refuses it.
    int Watch(platform::WaitHandle Handle, std::function<void()> Ready) override;
    void Unwatch(int Id) override;
    bool Empty() const { return FWatches.empty(); } ///< Whether nothing is watched.
    /// Calls, in turn, what the watch of each key calls for: a watch ended
    /// meanwhile (also by an earlier call of the same turn) is skipped.
    void Dispatch(const std::vector<uint64_t>& Keys);

private:
    struct Watched {
        platform::WaitHandle Handle;
        std::shared_ptr<std::function<void()>> Ready;
    };
    ReadinessSet& FSet;
    std::unordered_map<uint64_t, Watched> FWatches;
    int FNextId = 1;
};
