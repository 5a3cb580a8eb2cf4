#include "ManualResetEvent.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace device {

ManualResetEvent::ManualResetEvent(bool InitiallySet)
    : FFd(eventfd(InitiallySet ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK)), FSet(InitiallySet)
{
    if (FFd < 0)
        throw std::runtime_error("Cannot create an event object");
}

ManualResetEvent::~ManualResetEvent() { close(FFd); }

void ManualResetEvent::Set()
{
    // The counter only ever holds 0 or 1: set when clear, else nothing.
    if (!FSet.exchange(true)) {
        const uint64_t one = 1;
        while (write(FFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }
}

void ManualResetEvent::Reset()
{
    FSet = false;
    uint64_t value;
    while (read(FFd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool ManualResetEvent::IsSet() const { return FSet.load(); }

void ManualResetEvent::Wait() const
{
    pollfd p{FFd, POLLIN, 0};
    while (poll(&p, 1, -1) < 0 && errno == EINTR) {
    }
}

} // namespace device
