#include <velt/comport/framework/LoopWait.h>

#include <poll.h>

#include "WaitDescriptor.h"
#include "WakeEvent.h"

LoopWait::LoopWait() : FWake(std::make_unique<platform::WakeEvent>()) {}

LoopWait::~LoopWait() = default;

void LoopWait::Wake() { FWake->Signal(); }

void LoopWait::Wait(const std::vector<platform::WaitHandle>& Handles, int TimeoutMs, std::vector<char>& Ready)
{
    std::vector<pollfd> watched;
    watched.reserve(Handles.size() + 1);
    watched.push_back({platform::DescriptorOf(FWake->Handle()), POLLIN, 0});
    for (const platform::WaitHandle handle : Handles)
        watched.push_back({platform::DescriptorOf(handle), POLLIN, 0});
    Ready.assign(Handles.size(), 0);
    if (poll(watched.data(), watched.size(), TimeoutMs) <= 0)
        return; // timed out, or interrupted: the caller looks again
    if (watched[0].revents & POLLIN)
        FWake->Consume();
    for (size_t i = 0; i < Handles.size(); ++i)
        Ready[i] = watched[i + 1].revents != 0;
}
