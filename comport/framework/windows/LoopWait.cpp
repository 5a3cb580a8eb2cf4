#include <velt/comport/framework/LoopWait.h>

#include <windows.h>

#include "EventHandle.h"
#include "WakeEvent.h"

// The wake-up is the floor's auto-reset event, which the wait takes; the
// handles are event handles. Sent messages wake the sleep too, and are
// handled before it returns.
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
    // Messages that other threads send to this thread's windows (the window
    // hand-over) are handled while it sleeps: their senders wait for them.
    const auto count = static_cast<DWORD>(watched.size());
    const DWORD result = MsgWaitForMultipleObjectsEx(count, watched.data(), timeout, QS_SENDMESSAGE, 0);
    if (result == WAIT_OBJECT_0 + count) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        return;
    }
    if (result == WAIT_TIMEOUT || result == WAIT_FAILED)
        return;
    // The lowest signalled index wins the wait; ask the others one by one.
    for (size_t i = 0; i < Handles.size(); ++i)
        Ready[i] = WaitForSingleObject(watched[i + 1], 0) == WAIT_OBJECT_0;
}
