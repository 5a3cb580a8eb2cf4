// A manual-reset event on a wake-up descriptor of the platform floor, with
// its state mirrored in a flag so that asking costs no system call.
#include <velt/comport/device/ManualResetEvent.h>

#include <cerrno>
#include <poll.h>
#include <system_error>
#include <vector>

#include "WaitDescriptor.h"
#include "WakeDescriptor.h"

namespace device {

namespace {
int NewEventDescriptor(bool InitiallySet)
{
    const int fd = platform::NewWakeDescriptor(InitiallySet).Release();
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "Cannot create an event object");
    return fd;
}
} // namespace

ManualResetEvent::ManualResetEvent(bool InitiallySet)
    : FHandle(platform::WaitHandleOf(NewEventDescriptor(InitiallySet))), FSet(InitiallySet)
{
}

ManualResetEvent::~ManualResetEvent() { const platform::UniqueFd closing(platform::DescriptorOf(FHandle)); }

void ManualResetEvent::Set()
{
    // The counter only ever holds 0 or 1: set when clear, else nothing.
    if (!FSet.exchange(true))
        platform::SignalWake(platform::DescriptorOf(FHandle));
}

void ManualResetEvent::Reset()
{
    FSet = false;
    platform::ConsumeWake(platform::DescriptorOf(FHandle));
}

bool ManualResetEvent::IsSet() const { return FSet.load(); }

void ManualResetEvent::Wait() const { WaitAny({this}); }

size_t ManualResetEvent::WaitAny(std::initializer_list<const ManualResetEvent*> Events)
{
    std::vector<pollfd> watched;
    for (const ManualResetEvent* event : Events)
        watched.push_back({platform::DescriptorOf(event->FHandle), POLLIN, 0});
    for (;;) {
        while (poll(watched.data(), watched.size(), -1) < 0 && errno == EINTR) {
        }
        for (size_t i = 0; i < watched.size(); ++i)
            if ((watched[i].revents & POLLIN) != 0)
                return i;
    }
}

} // namespace device
