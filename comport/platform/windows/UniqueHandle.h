#pragma once
// The owner of a handle of the system; null and INVALID_HANDLE_VALUE own
// nothing.
#include <windows.h>

#include "UniqueOwner.h"

namespace platform {

struct HandleTraits {
    using Value = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static bool IsValid(HANDLE Handle) { return Handle != nullptr && Handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE Handle) { CloseHandle(Handle); }
};

using UniqueHandle = UniqueOwner<HandleTraits>;

} // namespace platform
