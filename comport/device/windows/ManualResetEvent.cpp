// A manual-reset event on Windows: an event object of the system.
#include <velt/comport/device/ManualResetEvent.h>

#include <stdexcept>
#include <system_error>
#include <vector>

#include "EventHandle.h"
#include "UniqueHandle.h"

namespace device {

ManualResetEvent::ManualResetEvent(bool InitiallySet)
    : FHandle(platform::WaitHandleOf(CreateEventW(nullptr, TRUE, InitiallySet ? TRUE : FALSE, nullptr)))
{
    if (platform::EventHandleOf(FHandle) == nullptr)
        throw std::runtime_error("Cannot create an event object");
}

ManualResetEvent::~ManualResetEvent() { const platform::UniqueHandle closing(platform::EventHandleOf(FHandle)); }

void ManualResetEvent::Set() { SetEvent(platform::EventHandleOf(FHandle)); }

void ManualResetEvent::Reset() { ResetEvent(platform::EventHandleOf(FHandle)); }

bool ManualResetEvent::IsSet() const
{
    return WaitForSingleObject(platform::EventHandleOf(FHandle), 0) == WAIT_OBJECT_0;
}

void ManualResetEvent::Wait() const { WaitAny({this}); }

size_t ManualResetEvent::WaitAny(std::initializer_list<const ManualResetEvent*> Events)
{
    std::vector<HANDLE> handles;
    for (const ManualResetEvent* event : Events)
        handles.push_back(platform::EventHandleOf(event->FHandle));
    const DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
    if (woken >= WAIT_OBJECT_0 + handles.size())
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "Cannot wait for events");
    return woken - WAIT_OBJECT_0;
}

} // namespace device
