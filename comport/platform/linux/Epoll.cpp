#include "Epoll.h"

#include <cerrno>

namespace platform {

namespace {

int Control(int Set, int Operation, int Fd, uint32_t Events, uint64_t Key)
{
    epoll_event event{};
    event.events = Events;
    event.data.u64 = Key;
    return epoll_ctl(Set, Operation, Fd, &event) == 0 ? 0 : errno;
}

} // namespace

UniqueFd NewEpollSet() { return UniqueFd(epoll_create1(EPOLL_CLOEXEC)); }

int EpollAdd(int Set, int Fd, uint32_t Events, uint64_t Key) { return Control(Set, EPOLL_CTL_ADD, Fd, Events, Key); }

int EpollWatch(int Set, int Fd, uint32_t Events, uint64_t Key)
{
    const int error = Control(Set, EPOLL_CTL_MOD, Fd, Events, Key);
    return error == ENOENT ? EpollAdd(Set, Fd, Events, Key) : error;
}

// Kernels before 2.6.9 want an event even here.
void EpollRemove(int Set, int Fd) { static_cast<void>(Control(Set, EPOLL_CTL_DEL, Fd, 0, 0)); }

int EpollWait(int Set, epoll_event* Ready, int Capacity, int TimeoutMs)
{
    return epoll_wait(Set, Ready, Capacity, TimeoutMs);
}

} // namespace platform
