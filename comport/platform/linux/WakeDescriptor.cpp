#include "WakeDescriptor.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

UniqueFd NewWakeDescriptor(bool Signalled) { return UniqueFd(eventfd(Signalled ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK)); }

void SignalWake(int Fd)
{
    const uint64_t one = 1;
    while (write(Fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void ConsumeWake(int Fd)
{
    uint64_t value;
    while (read(Fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

} // namespace platform
