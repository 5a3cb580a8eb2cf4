// The wake event on a wake-up descriptor, which it owns.
#include "WakeEvent.h"

#include <cerrno>
#include <system_error>

#include "WaitDescriptor.h"
#include "WakeDescriptor.h"

namespace platform {

WakeEvent::WakeEvent(bool Signalled) : FHandle(WaitHandleOf(NewWakeDescriptor(Signalled).Release()))
{
    if (DescriptorOf(FHandle) < 0)
        throw std::system_error(errno, std::generic_category(), "Cannot create an event object");
}

WakeEvent::~WakeEvent() { const UniqueFd closing(DescriptorOf(FHandle)); }

void WakeEvent::Signal() { SignalWake(DescriptorOf(FHandle)); }

void WakeEvent::Consume() { ConsumeWake(DescriptorOf(FHandle)); }

} // namespace platform
