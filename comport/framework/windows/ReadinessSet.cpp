#include <velt/comport/framework/ReadinessSet.h>

#include <windows.h>

#include <system_error>

#include "EventHandle.h"
#include "ReadinessMembers.h"

// Windows has no readiness set a loop could wait on as one object: a wait
// asks MsgWaitForMultipleObjectsEx about the members (at most 63), then each
// member once, as the lowest signalled index alone wins the wait.
struct ReadinessSet::State {
    ReadinessMembers<HANDLE> Members;
};

ReadinessSet::ReadinessSet() : FState(std::make_unique<State>()) {}

ReadinessSet::~ReadinessSet() = default;

void ReadinessSet::Add(platform::WaitHandle Handle, uint64_t Key)
{
    if (FState->Members.Count() >= MAXIMUM_WAIT_OBJECTS - 1)
        throw std::system_error(ERROR_TOO_MANY_POSTS, std::system_category(), "the wait holds no more objects");
    FState->Members.Add(platform::EventHandleOf(Handle), Key);
}

void ReadinessSet::Remove(platform::WaitHandle Handle)
{
    const HANDLE event = platform::EventHandleOf(Handle);
    FState->Members.Remove([event](HANDLE Member) { return Member == event; });
}

void ReadinessSet::Wait(int TimeoutMs, std::vector<uint64_t>& Ready)
{
    Ready.clear();
    auto& members = FState->Members;
    const auto count = static_cast<DWORD>(members.Count());
    const DWORD timeout = TimeoutMs < 0 ? INFINITE : static_cast<DWORD>(TimeoutMs);
    // Messages that other threads send to this thread's windows (the window
    // hand-over) are handled while it sleeps: their senders wait for them.
    const DWORD result = MsgWaitForMultipleObjectsEx(count, members.Entries(), timeout, QS_SENDMESSAGE, 0);
    if (result == WAIT_OBJECT_0 + count) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        return;
    }
    if (result >= WAIT_OBJECT_0 + count)
        return; // timed out or failed
    // The winner's signal may have been taken by the wait (an auto-reset
    // event): it counts as signalled without a second look.
    const size_t winner = result - WAIT_OBJECT_0;
    members.CollectReady(
        [winner](size_t Index, HANDLE Member) {
            return Index == winner || WaitForSingleObject(Member, 0) == WAIT_OBJECT_0;
        },
        Ready);
}

bool ReadinessSet::Waitable(platform::WaitHandle&) const { return false; }
