#include "TransferTimeouts.h"

namespace device {

namespace {

// Longer than any transfer can wait (about 35 years): beyond it a deadline
// added to the clock would overflow, so such a limit counts as none.
constexpr uint64_t kNoLimitBeyond = uint64_t{1} << 40;

// multiplier * count + constant, 0 meaning "no limit".
std::optional<Milliseconds> TotalLimit(uint32_t Multiplier, uint32_t Constant, uint32_t Count)
{
    const uint64_t total = static_cast<uint64_t>(Multiplier) * Count + Constant;
    if (total == 0 || total > kNoLimitBeyond)
        return std::nullopt;
    return Milliseconds(static_cast<int64_t>(total));
}

} // namespace

ReadRule ReadRuleFor(const CommTimeouts& Timeouts, uint32_t Count)
{
    ReadRule rule;
    const bool intervalMax = Timeouts.ReadIntervalTimeout == kMaxDword;
    if (intervalMax && Timeouts.ReadTotalTimeoutMultiplier == 0 && Timeouts.ReadTotalTimeoutConstant == 0) {
        rule.ReturnAtOnce = true;
        return rule;
    }
    if (intervalMax && Timeouts.ReadTotalTimeoutMultiplier == kMaxDword && Timeouts.ReadTotalTimeoutConstant > 0 &&
        Timeouts.ReadTotalTimeoutConstant < kMaxDword) {
        rule.ReturnAfterFirstByte = true;
        rule.Total = Milliseconds(Timeouts.ReadTotalTimeoutConstant);
        return rule;
    }
    rule.Total = TotalLimit(Timeouts.ReadTotalTimeoutMultiplier, Timeouts.ReadTotalTimeoutConstant, Count);
    if (Timeouts.ReadIntervalTimeout != 0)
        rule.Interval = Milliseconds(Timeouts.ReadIntervalTimeout);
    return rule;
}

std::optional<Milliseconds> WriteLimitFor(const CommTimeouts& Timeouts, uint32_t Count)
{
    return TotalLimit(Timeouts.WriteTotalTimeoutMultiplier, Timeouts.WriteTotalTimeoutConstant, Count);
}

} // namespace device
