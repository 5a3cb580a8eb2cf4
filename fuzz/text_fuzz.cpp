// Every text conversion of the settings: a text converts to a value whose
// own text converts back to that value, letter case never matters where the
// texts are compared without it, a character survives CharToText and
// TextToChar, and the integer parsing agrees with a plain reading of the
// same digits.
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include <velt/comport/ComStorage.h>
#include <velt/comport/ComTypes.h>
#include "FuzzSupport.h"
#include <velt/comport/framework/IntParse.h>

namespace {

template <typename Enum>
void CheckEnum(const std::string& Text, Enum (*FromText)(const std::string&), std::string (*ToText)(Enum))
{
    const Enum value = FromText(Text);
    FUZZ_CHECK(FromText(ToText(value)) == value);
    FUZZ_CHECK(FromText(UpperCaseAscii(Text)) == value);
}

void CheckCharacters(const std::string& Text)
{
    const uint8_t byte = TextToChar(Text);
    FUZZ_CHECK(TextToChar(CharToText(byte)) == byte);
    FUZZ_CHECK(TextToBool(Text) == TextToBool(UpperCaseAscii(Text)));
    FUZZ_CHECK(TextToBool(BoolToText(TextToBool(Text))) == TextToBool(Text));
}

// Blanks, a sign and decimal digits: what TryParseInteger must read exactly
// when the number fits in 32 signed bits, and refuse otherwise.
void CheckDecimal(std::string_view Text)
{
    int32_t parsed = 0;
    const bool ok = TryParseInteger(Text, parsed);
    std::string_view rest = Text;
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    const bool negative = !rest.empty() && rest.front() == '-';
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+'))
        rest.remove_prefix(1);
    if (rest.empty() || rest.find_first_not_of("0123456789") != std::string_view::npos)
        return; // not a plain decimal number
    std::string digits = negative ? "-" : "";
    digits += rest;
    int32_t expected = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), expected);
    const bool fits = error == std::errc() && end == digits.data() + digits.size();
    FUZZ_CHECK(ok == fits);
    if (fits) {
        FUZZ_CHECK(parsed == expected);
        FUZZ_CHECK(ParseLeadingInteger(Text) == expected);
    }
}

void CheckIntegers(std::string_view Text)
{
    int32_t value = 0;
    if (TryParseInteger(Text, value)) {
        int32_t again = 0;
        FUZZ_CHECK(TryParseInteger(std::to_string(value), again) && again == value);
    }
    (void)ParseLeadingInteger(Text); // any text: no overflow, no crash
    CheckDecimal(Text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string text(reinterpret_cast<const char*>(Data), Size);
    CheckEnum(text, TextToBaudRate, BaudRateToText);
    CheckEnum(text, TextToStopBits, StopBitsToText);
    CheckEnum(text, TextToDataBits, DataBitsToText);
    CheckEnum(text, TextToParity, ParityToText);
    CheckEnum(text, TextToFlowControl, FlowControlToText);
    CheckEnum(text, TextToDTR, DTRToText);
    CheckEnum(text, TextToRTS, RTSToText);
    CheckCharacters(text);
    CheckIntegers(text);
    return 0;
}
