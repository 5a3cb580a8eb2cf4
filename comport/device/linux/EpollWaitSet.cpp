// The device's waitable object on Linux: an epoll set over the wake-up
// descriptor and the line, each known by its descriptor.
#include "DeviceWaitSet.h"
#include "Epoll.h"

#include <cerrno>

namespace device {

DeviceWaitSet::DeviceWaitSet(int WakeFd, int LineFd, int& Error)
    : FSet(platform::NewEpollSet()), FWakeFd(WakeFd), FLineFd(LineFd)
{
    const int error =
        FSet.Valid() ? platform::EpollAdd(FSet.Get(), FWakeFd, EPOLLIN, static_cast<uint64_t>(FWakeFd)) : errno;
    if (error != 0) {
        Error = error;
        FSet.Reset();
    }
}

void DeviceWaitSet::Watch(LineWatch How)
{
    if (How == LineWatch::None) {
        platform::EpollRemove(FSet.Get(), FLineFd);
        return;
    }
    // A hang-up is reported either way.
    const uint32_t events = How == LineWatch::Input ? static_cast<uint32_t>(EPOLLIN) : 0U;
    static_cast<void>(platform::EpollWatch(FSet.Get(), FLineFd, events, static_cast<uint64_t>(FLineFd)));
}

int DeviceWaitSet::TakeReady(WaitSetReadiness& Ready)
{
    Ready = {};
    epoll_event ready[2];
    int count;
    while ((count = platform::EpollWait(FSet.Get(), ready, 2, 0)) < 0 && errno == EINTR) {
    }
    if (count < 0)
        return errno;
    for (int i = 0; i < count; ++i) {
        if (ready[i].data.u64 == static_cast<uint64_t>(FWakeFd)) {
            Ready.Woken = true;
            continue;
        }
        Ready.LineReady = true;
        Ready.HungUp = Ready.HungUp || (ready[i].events & (EPOLLHUP | EPOLLERR)) != 0;
    }
    return 0;
}

} // namespace device
