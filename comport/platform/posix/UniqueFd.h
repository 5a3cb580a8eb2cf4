#pragma once
// The owner of a descriptor; -1 owns nothing.
#include <unistd.h>

#include "UniqueOwner.h"

namespace platform {

struct DescriptorTraits {
    using Value = int;
    static constexpr int Invalid() { return -1; }
    static bool IsValid(int Fd) { return Fd >= 0; }
    static void Close(int Fd) { close(Fd); }
};

using UniqueFd = UniqueOwner<DescriptorTraits>;

} // namespace platform
