#include <velt/comport/device/ManualResetEvent.h>

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

#include "EventFd.h"
#include "WaitDescriptor.h"

namespace device {

namespace {
int CreateEventDescriptor(bool InitiallySet)
{
    const int fd = eventfd(InitiallySet ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0)
        throw std::runtime_error("Cannot create an event object");
    return fd;
}
} // namespace

ManualResetEvent::ManualResetEvent(bool InitiallySet)
    : FHandle(WaitHandleOf(CreateEventDescriptor(InitiallySet))), FSet(InitiallySet)
{
}

ManualResetEvent::~ManualResetEvent() { close(DescriptorOf(FHandle)); }

void ManualResetEvent::Set()
{
    // The counter only ever holds 0 or 1: set when clear, else nothing.
    if (!FSet.exchange(true)) {
        SignalEventFd(DescriptorOf(FHandle));
    }
}

void ManualResetEvent::Reset()
{
    FSet = false;
    ConsumeEventFd(DescriptorOf(FHandle));
}

bool ManualResetEvent::IsSet() const { return FSet.load(); }

void ManualResetEvent::Wait() const { WaitAny({this}); }

size_t ManualResetEvent::WaitAny(std::initializer_list<const ManualResetEvent*> Events)
{
    std::vector<pollfd> watched;
    for (const ManualResetEvent* event : Events)
        watched.push_back({DescriptorOf(event->FHandle), POLLIN, 0});
    for (;;) {
        while (poll(watched.data(), watched.size(), -1) < 0 && errno == EINTR) {
        }
        for (size_t i = 0; i < watched.size(); ++i)
            if ((watched[i].revents & POLLIN) != 0)
                return i;
    }
}

} // namespace device
