#pragma once
// The five timeouts turned into the rule one read or write follows, with
// exactly the meaning they have on the first platform.
#include <chrono>
#include <cstdint>
#include <optional>

#include <velt/comport/device/SerialDevice.h>

namespace device {

using Milliseconds = std::chrono::milliseconds;

struct ReadRule {
    // Return at once with whatever is queued, possibly nothing.
    bool ReturnAtOnce = false;
    // Return as soon as at least one byte has been read.
    bool ReturnAfterFirstByte = false;
    // Limit for the whole read from its start; none = unlimited.
    std::optional<Milliseconds> Total;
    // Longest gap allowed between two bytes once the first has arrived.
    std::optional<Milliseconds> Interval;
};

ReadRule ReadRuleFor(const CommTimeouts& Timeouts, uint32_t Count);

// Limit for a whole write from its start; none = unlimited.
std::optional<Milliseconds> WriteLimitFor(const CommTimeouts& Timeouts, uint32_t Count);

} // namespace device
