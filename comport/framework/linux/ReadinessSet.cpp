#include <velt/comport/framework/ReadinessSet.h>

#include <array>
#include <cerrno>
#include <system_error>

#include "Epoll.h"
#include "WaitDescriptor.h"

// An epoll set: level-triggered, so a member stays reported for as long as
// it is signalled, and nothing it holds is forgotten between two waits.
struct ReadinessSet::State {
    platform::UniqueFd Epoll;
};

ReadinessSet::ReadinessSet() : FState(std::make_unique<State>())
{
    FState->Epoll = platform::NewEpollSet();
    if (!FState->Epoll.Valid())
        throw std::system_error(errno, std::generic_category(), "epoll_create1");
}

ReadinessSet::~ReadinessSet() = default;

void ReadinessSet::Add(platform::WaitHandle Handle, uint64_t Key)
{
    if (const int error = platform::EpollAdd(FState->Epoll.Get(), platform::DescriptorOf(Handle), EPOLLIN, Key))
        throw std::system_error(error, std::generic_category(), "epoll_ctl");
}

void ReadinessSet::Remove(platform::WaitHandle Handle)
{
    platform::EpollRemove(FState->Epoll.Get(), platform::DescriptorOf(Handle));
}

void ReadinessSet::Wait(int TimeoutMs, std::vector<uint64_t>& Ready)
{
    std::array<epoll_event, 64> events{};
    Ready.clear();
    const int count =
        platform::EpollWait(FState->Epoll.Get(), events.data(), static_cast<int>(events.size()), TimeoutMs);
    for (int i = 0; i < count; ++i)
        Ready.push_back(events[static_cast<size_t>(i)].data.u64);
}

bool ReadinessSet::Waitable(platform::WaitHandle& Handle) const
{
    Handle = platform::WaitHandleOf(FState->Epoll.Get());
    return true;
}
