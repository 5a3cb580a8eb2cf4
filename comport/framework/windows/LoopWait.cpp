#include <velt/comport/framework/LoopWait.h>

#include <windows.h>

#include "EventHandle.h"
#include "WakeEvent.h"

// The wake-up is the floor's auto-reset event, which the wait takes; the
// handles are event handles.
LoopWait::LoopWait() : FWake(std::make_unique<platform::WakeEvent>()) {}

LoopWait::~LoopWait() = default;

void LoopWait::Wake() { FWake->Signal(); }

void LoopWait::Wait(const std::vector<platform::WaitHandle>& Handles, int TimeoutMs, std::vector<char>& Ready)
{
    std::vector<HANDLE> watched;
    watched.push_back(platform::EventHandleOf(FWake->Handle()));
    for (const platform::WaitHandle handle : Handles)
        watched.push_back(platform::EventHandleOf(handle));
    Ready.assign(Handles.size(), 0);
    const DWORD timeout = TimeoutMs < 0 ? INFINITE : static_cast<DWORD>(TimeoutMs);
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(watched.size()), watched.data(), FALSE, timeout);
    if (result == WAIT_TIMEOUT || result == WAIT_FAILED)
        return;
    // The lowest signalled index wins the wait; ask the others one by one.
    for (size_t i = 0; i < Handles.size(); ++i)
        Ready[i] = WaitForSingleObject(watched[i + 1], 0) == WAIT_OBJECT_0;
}
