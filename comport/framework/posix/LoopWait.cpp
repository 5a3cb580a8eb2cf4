#include <velt/comport/framework/LoopWait.h>

#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
int Descriptor(std::intptr_t Wake) { return static_cast<int>(Wake); }
} // namespace

LoopWait::LoopWait() : FWake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (FWake < 0)
        throw std::runtime_error("Cannot create the main thread's wake-up event");
}

LoopWait::~LoopWait() { close(Descriptor(FWake)); }

void LoopWait::Wake()
{
    const uint64_t one = 1;
    while (write(Descriptor(FWake), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void LoopWait::Wait(const std::vector<std::intptr_t>& Handles, int TimeoutMs, std::vector<char>& Ready)
{
    std::vector<pollfd> watched;
    watched.reserve(Handles.size() + 1);
    watched.push_back({Descriptor(FWake), POLLIN, 0});
    for (std::intptr_t handle : Handles)
        watched.push_back({static_cast<int>(handle), POLLIN, 0});
    Ready.assign(Handles.size(), 0);
    if (poll(watched.data(), watched.size(), TimeoutMs) <= 0)
        return; // timed out, or interrupted: the caller looks again
    if (watched[0].revents & POLLIN) {
        uint64_t value;
        while (read(Descriptor(FWake), &value, sizeof value) < 0 && errno == EINTR) {
        }
    }
    for (size_t i = 0; i < Handles.size(); ++i)
        Ready[i] = watched[i + 1].revents != 0;
}
