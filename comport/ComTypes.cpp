#include <velt/comport/ComTypes.h>

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
