#include <velt/comport/framework/ReadinessSet.h>

#include <poll.h>

#include "ReadinessMembers.h"
#include "WaitDescriptor.h"

// Where the system has no readiness set of its own: poll() over the members.
struct ReadinessSet::State {
    ReadinessMembers<pollfd> Members;
};

ReadinessSet::ReadinessSet() : FState(std::make_unique<State>()) {}

ReadinessSet::~ReadinessSet() = default;

void ReadinessSet::Add(platform::WaitHandle Handle, uint64_t Key)
{
    FState->Members.Add({platform::DescriptorOf(Handle), POLLIN, 0}, Key);
}

void ReadinessSet::Remove(platform::WaitHandle Handle)
{
    const int fd = platform::DescriptorOf(Handle);
    FState->Members.Remove([fd](const pollfd& Member) { return Member.fd == fd; });
}

void ReadinessSet::Wait(int TimeoutMs, std::vector<uint64_t>& Ready)
{
    Ready.clear();
    auto& members = FState->Members;
    if (poll(members.Entries(), members.Count(), TimeoutMs) <= 0)
        return;
    members.CollectReady([](size_t, const pollfd& Member) { return Member.revents != 0; }, Ready);
}

bool ReadinessSet::Waitable(platform::WaitHandle&) const { return false; }
