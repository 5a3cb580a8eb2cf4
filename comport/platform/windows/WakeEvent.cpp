// The wake event on Windows: an auto-reset event object, which a waiter's
// wait takes; Consume() clears one that was signalled while nobody waited.
#include "WakeEvent.h"

#include <system_error>

#include "EventHandle.h"
#include "UniqueHandle.h"

namespace platform {

WakeEvent::WakeEvent(bool Signalled)
    : FHandle(WaitHandleOf(CreateEventW(nullptr, FALSE, Signalled ? TRUE : FALSE, nullptr)))
{
    if (EventHandleOf(FHandle) == nullptr)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "Cannot create an event object");
}

WakeEvent::~WakeEvent() { const UniqueHandle closing(EventHandleOf(FHandle)); }

void WakeEvent::Signal() { SetEvent(EventHandleOf(FHandle)); }

void WakeEvent::Consume() { ResetEvent(EventHandleOf(FHandle)); }

} // namespace platform
