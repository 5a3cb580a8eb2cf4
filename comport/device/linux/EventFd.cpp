#include "EventFd.h"

#include <cerrno>
#include <cstdint>
#include <unistd.h>

namespace device {

void SignalEventFd(int Fd)
{
    const uint64_t one = 1;
    while (write(Fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void ConsumeEventFd(int Fd)
{
    uint64_t value;
    while (read(Fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

} // namespace device
