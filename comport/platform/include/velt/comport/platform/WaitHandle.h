#pragma once
/// @file
/// The platform's waitable object, as code that does not look inside it sees
/// it: a descriptor that polls readable while signalled on POSIX systems, an
/// event handle on Windows. One spelling for the device layer, the framework's
/// main loops and the component's users.
#include <cstdint>

namespace platform {

/// A waitable object of the platform. Only the platform's own code looks
/// inside (DescriptorOf() on POSIX systems, EventHandleOf() on Windows).
enum class WaitHandle : std::intptr_t {};

} // namespace platform
