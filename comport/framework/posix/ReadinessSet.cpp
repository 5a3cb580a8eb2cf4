#include <velt/comport/framework/ReadinessSet.h>

#include <algorithm>
#include <poll.h>
#include <utility>

#include "WaitDescriptor.h"

// Where the system has no readiness set of its own: poll() over the members.
struct ReadinessSet::State {
    std::vector<pollfd> Watched;
    std::vector<uint64_t> Keys;
};

ReadinessSet::ReadinessSet() : FState(std::make_unique<State>()) {}

ReadinessSet::~ReadinessSet() = default;

void ReadinessSet::Add(platform::WaitHandle Handle, uint64_t Key)
{
    FState->Watched.push_back({platform::DescriptorOf(Handle), POLLIN, 0});
    FState->Keys.push_back(Key);
}

void ReadinessSet::Remove(platform::WaitHandle Handle)
{
    const int fd = platform::DescriptorOf(Handle);
    auto& watched = FState->Watched;
    auto it = std::find_if(watched.begin(), watched.end(), [fd](const pollfd& p) { return p.fd == fd; });
    if (it == watched.end())
        return;
    FState->Keys.erase(FState->Keys.begin() + (it - watched.begin()));
    watched.erase(it);
}

void ReadinessSet::Wait(int TimeoutMs, std::vector<uint64_t>& Ready)
{
    Ready.clear();
    if (poll(FState->Watched.data(), FState->Watched.size(), TimeoutMs) <= 0)
        return;
    for (size_t i = 0; i < FState->Watched.size(); ++i)
        if (FState->Watched[i].revents != 0)
            Ready.push_back(FState->Keys[i]);
}

bool ReadinessSet::Waitable(platform::WaitHandle&) const { return false; }
