// The device's waitable object on Linux: an epoll set over the wake-up
// descriptor and the line.
#include "DeviceWaitSet.h"

#include <cerrno>
#include <sys/epoll.h>

namespace device {

DeviceWaitSet::DeviceWaitSet(int WakeFd, int LineFd, int& Error)
    : FSet(epoll_create1(EPOLL_CLOEXEC)), FWakeFd(WakeFd), FLineFd(LineFd)
{
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.fd = FWakeFd;
    if (!FSet.Valid() || epoll_ctl(FSet.Get(), EPOLL_CTL_ADD, FWakeFd, &wake) != 0) {
        Error = errno;
        FSet.Reset();
    }
}

void DeviceWaitSet::Watch(LineWatch How)
{
    epoll_event line{};
    line.events = How == LineWatch::Input ? static_cast<uint32_t>(EPOLLIN) : 0U; // a hang-up is reported either way
    line.data.fd = FLineFd;
    if (How == LineWatch::None) {
        epoll_ctl(FSet.Get(), EPOLL_CTL_DEL, FLineFd, &line);
        return;
    }
    if (epoll_ctl(FSet.Get(), EPOLL_CTL_MOD, FLineFd, &line) != 0 && errno == ENOENT)
        epoll_ctl(FSet.Get(), EPOLL_CTL_ADD, FLineFd, &line);
}

int DeviceWaitSet::TakeReady(WaitSetReadiness& Ready)
{
    Ready = {};
    epoll_event ready[2];
    int count;
    while ((count = epoll_wait(FSet.Get(), ready, 2, 0)) < 0 && errno == EINTR) {
    }
    if (count < 0)
        return errno;
    for (int i = 0; i < count; ++i) {
        if (ready[i].data.fd == FWakeFd) {
            Ready.Woken = true;
            continue;
        }
        Ready.LineReady = true;
        Ready.HungUp = Ready.HungUp || (ready[i].events & (EPOLLHUP | EPOLLERR)) != 0;
    }
    return 0;
}

} // namespace device
