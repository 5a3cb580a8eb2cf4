#pragma once
// On Windows a waitable object is an event handle.
#include <windows.h>

#include <cstdint>

#include <velt/comport/platform/WaitHandle.h>

namespace platform {

inline HANDLE EventHandleOf(WaitHandle Handle) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(Handle)); }
inline WaitHandle WaitHandleOf(HANDLE Event) { return static_cast<WaitHandle>(reinterpret_cast<std::intptr_t>(Event)); }

} // namespace platform
