#include <velt/comport/framework/LoopWait.h>

#include <algorithm>

#include "WakeEvent.h"

LoopWait::LoopWait() : FWake(std::make_unique<platform::WakeEvent>()) { FMembers.Add(FWake->Handle(), kWakeKey); }

LoopWait::~LoopWait() { FMembers.Remove(FWake->Handle()); }

void LoopWait::Wake() { FWake->Signal(); }

void LoopWait::Wait(int TimeoutMs, std::vector<uint64_t>& Ready)
{
    FMembers.Wait(TimeoutMs, Ready);
    auto wake = std::find(Ready.begin(), Ready.end(), kWakeKey);
    if (wake == Ready.end())
        return;
    FWake->Consume();
    Ready.erase(wake);
}
