#pragma once
// On Linux a waitable object is a descriptor that polls readable while it is
// signalled.
#include <velt/comport/device/ManualResetEvent.h>

namespace device {

inline int DescriptorOf(WaitHandle Handle) { return static_cast<int>(Handle); }
inline WaitHandle WaitHandleOf(int Descriptor) { return static_cast<WaitHandle>(Descriptor); }

} // namespace device
