#include <velt/comport/framework/ReadinessSet.h>

#include <array>
#include <cerrno>
#include <sys/epoll.h>
#include <system_error>

#include "UniqueFd.h"
#include "WaitDescriptor.h"

// An epoll set, level-triggered: a member stays reported for as long as it
// is signalled, so nothing it holds is forgotten between two waits.
struct ReadinessSet::State {
    platform::UniqueFd Epoll;
};

ReadinessSet::ReadinessSet() : FState(std::make_unique<State>())
{
    FState->Epoll.Reset(epoll_create1(EPOLL_CLOEXEC));
    if (!FState->Epoll.Valid())
        throw std::system_error(errno, std::generic_category(), "epoll_create1");
}

ReadinessSet::~ReadinessSet() = default;

void ReadinessSet::Add(platform::WaitHandle Handle, uint64_t Key)
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = Key;
    if (epoll_ctl(FState->Epoll.Get(), EPOLL_CTL_ADD, platform::DescriptorOf(Handle), &event) != 0)
        throw std::system_error(errno, std::generic_category(), "epoll_ctl");
}

void ReadinessSet::Remove(platform::WaitHandle Handle)
{
    epoll_event unused{}; // kernels before 2.6.9 want one even here
    static_cast<void>(epoll_ctl(FState->Epoll.Get(), EPOLL_CTL_DEL, platform::DescriptorOf(Handle), &unused));
}

void ReadinessSet::Wait(int TimeoutMs, std::vector<uint64_t>& Ready)
{
    // Members beyond one batch are reported by the next wait: the set is
    // level-triggered.
    std::array<epoll_event, 64> events{};
    Ready.clear();
    const int count = epoll_wait(FState->Epoll.Get(), events.data(), static_cast<int>(events.size()), TimeoutMs);
    for (int i = 0; i < count; ++i)
        Ready.push_back(events[static_cast<size_t>(i)].data.u64);
}

bool ReadinessSet::Waitable(platform::WaitHandle& Handle) const
{
    Handle = platform::WaitHandleOf(FState->Epoll.Get());
    return true;
}
