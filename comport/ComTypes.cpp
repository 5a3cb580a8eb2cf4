#include <velt/comport/ComTypes.h>

#include <velt/comport/framework/IntParse.h>
#include "SettingTexts.h"

namespace {

constexpr std::array<uint32_t, kBaudRateCount> kBaudRateValues = {
    0, 110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

// Indexed by TComEvent ordinal; the mask bits are not in ordinal order.
constexpr std::array<uint32_t, kComEventCount> kEventMaskBits = {0x0001, 0x0004, 0x0002, 0x0100, 0x0040,
                                                                 0x0008, 0x0010, 0x0080, 0x0020, 0x0400};

} // namespace

std::string UpperCaseAscii(std::string Text)
{
    for (char& c : Text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return Text;
}

TComEvents AllComEvents() { return TComEvents::FromBits((1u << kComEventCount) - 1); }

uint32_t BaudRateValue(TBaudRate Rate) { return kBaudRateValues.at(Rate); }

std::string BaudRateToText(TBaudRate Value) { return kBaudRateTexts.at(Value); }
TBaudRate TextToBaudRate(const std::string& Text) { return MatchEnumText(kBaudRateTexts, Text, br9600); }
std::string StopBitsToText(TStopBits Value) { return kStopBitsTexts.at(Value); }
TStopBits TextToStopBits(const std::string& Text) { return MatchEnumText(kStopBitsTexts, Text, sbOneStopBit); }
std::string DataBitsToText(TDataBits Value) { return kDataBitsTexts.at(Value); }
TDataBits TextToDataBits(const std::string& Text) { return MatchEnumText(kDataBitsTexts, Text, dbEight); }
std::string ParityToText(TParityBits Value) { return kParityTexts.at(Value); }
TParityBits TextToParity(const std::string& Text) { return MatchEnumText(kParityTexts, Text, prNone); }
std::string FlowControlToText(TFlowControl Value) { return kFlowControlTexts.at(Value); }
TFlowControl TextToFlowControl(const std::string& Text) { return MatchEnumText(kFlowControlTexts, Text, fcCustom); }

std::string BoolToText(bool Value) { return Value ? "Yes" : "No"; }
bool TextToBool(const std::string& Text) { return UpperCaseAscii(Text) == "YES"; }
std::string DTRToText(TDTRFlowControl Value) { return kDTRTexts.at(Value); }
TDTRFlowControl TextToDTR(const std::string& Text) { return MatchEnumText(kDTRTexts, Text, dtrDisable); }
std::string RTSToText(TRTSFlowControl Value) { return kRTSTexts.at(Value); }
TRTSFlowControl TextToRTS(const std::string& Text) { return MatchEnumText(kRTSTexts, Text, rtsDisable); }

// Printable bytes stand for themselves; blanks, control bytes and the upper
// half are written as numbers so that the stored text stays readable.
std::string CharToText(uint8_t Value)
{
    if (Value >= 33 && Value <= 127)
        return std::string(1, static_cast<char>(Value));
    return "#" + std::to_string(Value);
}

uint8_t TextToChar(const std::string& Text)
{
    if (Text.empty())
        return 0;
    if (Text[0] != '#' || Text.size() == 1)
        return static_cast<uint8_t>(Text[0]);
    int32_t number = 0;
    if (!TryParseInteger(std::string_view(Text).substr(1), number))
        return 0;
    return static_cast<uint8_t>(number & 0xFF);
}

uint32_t EventMaskBit(TComEvent Event) { return kEventMaskBits.at(Event); }

uint32_t EventsToMask(TComEvents Events)
{
    uint32_t mask = 0;
    for (size_t i = 0; i < kEventMaskBits.size(); ++i)
        if (Events.Contains(static_cast<TComEvent>(i)))
            mask |= kEventMaskBits[i];
    return mask;
}

TComEvents MaskToEvents(uint32_t Mask)
{
    TComEvents events;
    for (size_t i = 0; i < kEventMaskBits.size(); ++i)
        if ((Mask & kEventMaskBits[i]) != 0)
            events.Include(static_cast<TComEvent>(i));
    return events;
}
