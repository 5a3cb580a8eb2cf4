#include "ClockHandshake.h"

#include <velt/comport/framework/IntParse.h>

namespace {

constexpr int32_t kDayCode = 91;
constexpr int32_t kMonthCode = 92;
constexpr int32_t kYearCode = 93;
constexpr int32_t kSecondCode = 94;
constexpr int32_t kMinuteCode = 95;
constexpr int32_t kHourCode = 96;
constexpr int32_t kAllFieldsDone = 97;
constexpr int32_t kResyncByte = 100;
constexpr int32_t kValueOffset = 100;
constexpr int32_t kMaxBytesSent = 24;

// The low eight bits of the number: a value byte is the value plus 100.
uint8_t LowByte(int32_t Number) { return static_cast<uint8_t>(Number & 0xFF); }

} // namespace

uint8_t ClockHandshake::Begin()
{
    const uint8_t first = SendCommand(kDayCode);
    FBytesSent = 1;
    return first;
}

void ClockHandshake::TakeAnswer(std::string_view Burst) { FReceivedReply = ParseLeadingInteger(Burst); }

ClockHandshake::Step ClockHandshake::Advance(const std::function<CalendarTime()>& Now)
{
    if (FBytesSent >= kMaxBytesSent)
        return {Outcome::Failed};
    if (FReceivedReply != FExpectedReply)
        return {Outcome::Send, SendResync()};
    if (!FAwaitingCommandAck)
        ++FClockField; // a value was confirmed: on to the next field
    if (FClockField >= kAllFieldsDone)
        return {Outcome::Succeeded};
    // After a confirmed value the next field's code, after a confirmed
    // resynchronisation the current field's code again.
    if (!FAwaitingCommandAck || FResyncing)
        return {Outcome::Send, SendCommand(FClockField)};
    return {Outcome::Send, SendValue(ClockFieldValue(FClockField, Now()))};
}

uint8_t ClockHandshake::SendCommand(int32_t Code)
{
    FClockField = Code;
    FExpectedReply = Code;
    FReceivedReply = -1;
    ++FBytesSent;
    FAwaitingCommandAck = true;
    FResyncing = false;
    return LowByte(Code);
}

uint8_t ClockHandshake::SendValue(int32_t Value)
{
    FExpectedReply = Value;
    FReceivedReply = -1;
    ++FBytesSent;
    FAwaitingCommandAck = false;
    FResyncing = false;
    return LowByte(Value + kValueOffset);
}

uint8_t ClockHandshake::SendResync()
{
    FExpectedReply = kResyncByte;
    FReceivedReply = -1;
    ++FBytesSent;
    FResyncing = true;
    FAwaitingCommandAck = true;
    return LowByte(kResyncByte);
}

int32_t ClockFieldValue(int32_t Code, const CalendarTime& Time)
{
    switch (Code) {
    case kDayCode:
        return Time.Day;
    case kMonthCode:
        return Time.Month;
    case kYearCode:
        return Time.Year - 2000;
    case kSecondCode:
        return Time.Second;
    case kMinuteCode:
        return Time.Minute;
    case kHourCode:
        return Time.Hour;
    default:
        return 0;
    }
}
