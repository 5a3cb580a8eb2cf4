#include <velt/comport/framework/ReadinessWatcher.h>

ReadinessWatcher::~ReadinessWatcher()
{
    for (const auto& [id, watched] : FWatches)
        FSet.Remove(watched.Handle);
}

int ReadinessWatcher::Watch(platform::WaitHandle Handle, std::function<void()> Ready)
{
    const int id = FNextId++;
    FSet.Add(Handle, static_cast<uint64_t>(id));
    FWatches.emplace(id, Watched{Handle, std::make_shared<std::function<void()>>(std::move(Ready))});
    return id;
}

void ReadinessWatcher::Unwatch(int Id)
{
    auto it = FWatches.find(static_cast<uint64_t>(Id));
    if (it == FWatches.end())
        return;
    FSet.Remove(it->second.Handle);
    FWatches.erase(it);
}

void ReadinessWatcher::Dispatch(const std::vector<uint64_t>& Keys)
{
    for (const uint64_t key : Keys) {
        auto it = FWatches.find(key);
        if (it == FWatches.end())
            continue;
        // Held here: the call may end its own watch.
        const std::shared_ptr<std::function<void()>> ready = it->second.Ready;
        (*ready)();
    }
}
