#pragma once
// On POSIX systems a waitable object is a descriptor that polls readable
// while it is signalled.
#include <velt/comport/platform/WaitHandle.h>

namespace platform {

inline int DescriptorOf(WaitHandle Handle) { return static_cast<int>(Handle); }
inline WaitHandle WaitHandleOf(int Descriptor) { return static_cast<WaitHandle>(Descriptor); }

} // namespace platform
