#include <velt/comport/framework/IntParse.h>

#include <algorithm>
#include <limits>

namespace {

struct NumberStart {
    bool Negative = false;
    int Base = 10;
    size_t DigitsAt = 0;
};

// Skips blanks, the sign and a hexadecimal prefix.
NumberStart ScanNumberStart(std::string_view Text)
{
    NumberStart start;
    size_t i = 0;
    while (i < Text.size() && (Text[i] == ' ' || Text[i] == '\t'))
        ++i;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) {
        start.Negative = Text[i] == '-';
        ++i;
    }
    if (i < Text.size() && (Text[i] == '$' || Text[i] == 'x' || Text[i] == 'X')) {
        start.Base = 16;
        ++i;
    } else if (i + 1 < Text.size() && Text[i] == '0' && (Text[i + 1] == 'x' || Text[i + 1] == 'X')) {
        start.Base = 16;
        i += 2;
    }
    start.DigitsAt = i;
    return start;
}

int DigitValue(char c, int Base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < Base ? value : -1;
}

// The magnitude a number may reach: decimal within the signed range,
// hexadecimal through all 32 bits.
int64_t MagnitudeLimit(const NumberStart& Start)
{
    if (Start.Base == 16)
        return std::numeric_limits<uint32_t>::max();
    return Start.Negative ? int64_t{1} << 31 : std::numeric_limits<int32_t>::max();
}

int32_t ToInt32(int64_t Magnitude, bool Negative)
{
    const int64_t value = Negative ? -Magnitude : Magnitude;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

} // namespace

bool TryParseInteger(std::string_view Text, int32_t& Value)
{
    const NumberStart start = ScanNumberStart(Text);
    if (start.DigitsAt >= Text.size())
        return false;
    const int64_t limit = MagnitudeLimit(start);
    int64_t magnitude = 0;
    for (size_t i = start.DigitsAt; i < Text.size(); ++i) {
        const int digit = DigitValue(Text[i], start.Base);
        if (digit < 0)
            return false;
        magnitude = magnitude * start.Base + digit;
        if (magnitude > limit)
            return false;
    }
    Value = ToInt32(magnitude, start.Negative);
    return true;
}

int32_t ParseLeadingInteger(std::string_view Text)
{
    const NumberStart start = ScanNumberStart(Text);
    const int64_t limit = start.Negative ? int64_t{1} << 31 : std::numeric_limits<int32_t>::max();
    int64_t magnitude = 0;
    for (size_t i = start.DigitsAt; i < Text.size(); ++i) {
        const int digit = DigitValue(Text[i], start.Base);
        if (digit < 0)
            break;
        magnitude = std::min<int64_t>(magnitude * start.Base + digit, limit);
    }
    return static_cast<int32_t>(start.Negative ? -magnitude : magnitude);
}
