// The settings table: one row per setting of the port, and what a row does
// with a port's value as text or number.
#include <velt/comport/ComSettingsTable.h>

#include <array>
#include <charconv>
#include <climits>

#include <velt/comport/ComPort.h>
#include <velt/comport/PortList.h>
#include <velt/comport/framework/IntParse.h>
#include "SettingTexts.h"

using Target = TCustomComPort;

// What a row holds. Get and Set carry the value as a number (the ordinal of
// an enumeration, 0 or 1, the byte, or the number itself); the name of the
// device goes as text.
struct TPortSettingRow {
    const char* Name;
    const char* Option;
    const char* Description;
    TSettingsGroup Group;
    TSettingKind Kind;
    TComProperty ComProperty = cpNone;
    const char* Caption = nullptr; // the label of its setup list
    std::span<const char* const> Texts{};
    int32_t Fallback = 0; // the ordinal a text that names no value gives
    int32_t Min = 0;
    int32_t Max = 0;
    int32_t (*Get)(const Target&) = nullptr;
    void (*Set)(Target&, int32_t) = nullptr;
    std::string (*GetName)(const Target&) = nullptr;
    void (*SetName)(Target&, const std::string&) = nullptr;
    void (*SetNumber)(Target&, int32_t) = nullptr; // skRate: a rate as a number
    bool OnlyWhenSet = false;                      // stored only while not at its default
    bool Advanced = false;                         // left out of the setup dialogs
};

namespace {

using Getter = int32_t (*)(const Target&);
using Setter = void (*)(Target&, int32_t);

TPortSettingRow List(const char* Name, const char* Option, const char* Description, TSettingsGroup Group,
                     std::span<const char* const> Texts, int32_t Fallback, Getter Get, Setter Set,
                     TComProperty Property = cpNone, const char* Caption = nullptr)
{
    return {Name, Option, Description, Group, skList, Property, Caption, Texts, Fallback, 0, 0, Get, Set};
}

TPortSettingRow YesNo(const char* Name, const char* Option, const char* Description, TSettingsGroup Group, Getter Get,
                      Setter Set)
{
    return List(Name, Option, Description, Group, kYesNoTexts, 0, Get, Set);
}

TPortSettingRow Number(const char* Name, const char* Option, const char* Description, TSettingsGroup Group, int32_t Min,
                       int32_t Max, Getter Get, Setter Set)
{
    return {Name, Option, Description, Group, skNumber, cpNone, nullptr, {}, 0, Min, Max, Get, Set};
}

TPortSettingRow Char(const char* Name, const char* Option, const char* Description, TSettingsGroup Group, Getter Get,
                     Setter Set)
{
    return {Name, Option, Description, Group, skChar, cpNone, nullptr, {}, 0, 0, 255, Get, Set};
}

// The named rate that has Value bits per second, or brCustom with Value.
void SetRateNumber(Target& P, int32_t Value)
{
    for (int rate = br110; rate < kBaudRateCount; ++rate)
        if (BaudRateValue(static_cast<TBaudRate>(rate)) == static_cast<uint32_t>(Value)) {
            P.SetBaudRate(static_cast<TBaudRate>(rate));
            return;
        }
    P.SetCustomBaudRate(Value);
    P.SetBaudRate(brCustom);
}

TPortSettingRow PortRow()
{
    TPortSettingRow row{"Port", "port", "port szeregowy: ttyUSB0, /dev/ttyS0, COM1, ...", sgBasic, skName,
                        cpPort, "Port"};
    row.GetName = [](const Target& p) { return p.Port(); };
    row.SetName = [](Target& p, const std::string& t) { p.SetPort(t); };
    return row;
}

TPortSettingRow BaudRateRow()
{
    TPortSettingRow row = List(
        "BaudRate", "baud", "prędkość w bodach, np. 9600; liczba spoza listy to prędkość własna", sgBasic,
        kBaudRateTexts, br9600, [](const Target& p) -> int32_t { return p.BaudRate(); },
        [](Target& p, int32_t v) { p.SetBaudRate(static_cast<TBaudRate>(v)); }, cpBaudRate, "Prędkość");
    row.Kind = skRate;
    row.Min = 1;
    row.Max = INT32_MAX;
    row.SetNumber = SetRateNumber;
    return row;
}

// Asks the driver for low latency. Stored only when set, so that stores of
// the default settings stay as they were; no setup list edits it.
TPortSettingRow LowLatencyRow()
{
    TPortSettingRow row = YesNo(
        "LowLatency", "low-latency", "prośba do sterownika o odbiór bez zwłoki (adapter FTDI: 1 ms zamiast 16 ms)",
        sgBasic, [](const Target& p) -> int32_t { return p.LowLatency(); },
        [](Target& p, int32_t v) { p.SetLowLatency(v != 0); });
    row.OnlyWhenSet = true;
    row.Advanced = true;
    return row;
}

// In the order stores write them; the groups follow the fixed order sgBasic,
// sgExtras, sgParityDetails, sgBuffer, sgTimeouts, sgFlowDetails.
const auto& Rows()
{
    static const auto rows = std::to_array<TPortSettingRow>({
        PortRow(),
        BaudRateRow(),
        Number(
            "CustomBaudRate", "custom-baud", "prędkość własna w bodach (przy prędkości Custom)", sgBasic, 1, INT32_MAX,
            [](const Target& p) { return p.CustomBaudRate(); }, [](Target& p, int32_t v) { p.SetCustomBaudRate(v); }),
        List(
            "StopBits", "stop-bits", "bity stopu", sgBasic, kStopBitsTexts, sbOneStopBit,
            [](const Target& p) -> int32_t { return p.StopBits(); },
            [](Target& p, int32_t v) { p.SetStopBits(static_cast<TStopBits>(v)); }, cpStopBits, "Bity stopu"),
        List(
            "DataBits", "data-bits", "bity danych", sgBasic, kDataBitsTexts, dbEight,
            [](const Target& p) -> int32_t { return p.DataBits(); },
            [](Target& p, int32_t v) { p.SetDataBits(static_cast<TDataBits>(v)); }, cpDataBits, "Bity danych"),
        List(
            "Parity", "parity", "parzystość", sgBasic, kParityTexts, prNone,
            [](const Target& p) -> int32_t { return p.Parity().Bits(); },
            [](Target& p, int32_t v) { p.Parity().SetBits(static_cast<TParityBits>(v)); }, cpParity, "Parzystość"),
        List(
            "FlowControl", "flow", "sterowanie przepływem", sgBasic, kFlowControlTexts, fcCustom,
            [](const Target& p) -> int32_t { return p.FlowControl().FlowControl(); },
            [](Target& p, int32_t v) { p.FlowControl().SetFlowControl(static_cast<TFlowControl>(v)); }, cpFlowControl,
            "Sterowanie"),
        LowLatencyRow(),
        Char(
            "EventChar", "event-char", "znak, którego odebranie zgłasza zdarzenie RxFlag", sgExtras,
            [](const Target& p) -> int32_t { return p.EventChar(); },
            [](Target& p, int32_t v) { p.SetEventChar(static_cast<uint8_t>(v)); }),
        YesNo(
            "DiscardNull", "discard-null", "odrzucanie odebranych bajtów NUL", sgExtras,
            [](const Target& p) -> int32_t { return p.DiscardNull(); },
            [](Target& p, int32_t v) { p.SetDiscardNull(v != 0); }),
        YesNo(
            "Parity.Check", "parity-check", "sprawdzanie parzystości odebranych bajtów", sgParityDetails,
            [](const Target& p) -> int32_t { return p.Parity().Check(); },
            [](Target& p, int32_t v) { p.Parity().SetCheck(v != 0); }),
        YesNo(
            "Parity.Replace", "parity-replace", "zastępowanie bajtów z błędem parzystości", sgParityDetails,
            [](const Target& p) -> int32_t { return p.Parity().Replace(); },
            [](Target& p, int32_t v) { p.Parity().SetReplace(v != 0); }),
        Char(
            "Parity.ReplaceChar", "parity-replace-char", "bajt w miejsce bajtu z błędem parzystości", sgParityDetails,
            [](const Target& p) -> int32_t { return p.Parity().ReplaceChar(); },
            [](Target& p, int32_t v) { p.Parity().SetReplaceChar(static_cast<uint8_t>(v)); }),
        Number(
            "Buffer.OutputSize", "output-size", "zalecany rozmiar kolejki nadawczej w bajtach", sgBuffer, 0, INT32_MAX,
            [](const Target& p) { return p.Buffer().OutputSize(); },
            [](Target& p, int32_t v) { p.Buffer().SetOutputSize(v); }),
        Number(
            "Buffer.InputSize", "input-size", "zalecany rozmiar kolejki odbiorczej w bajtach", sgBuffer, 0, INT32_MAX,
            [](const Target& p) { return p.Buffer().InputSize(); },
            [](Target& p, int32_t v) { p.Buffer().SetInputSize(v); }),
        Number(
            "Timeouts.ReadInterval", "read-interval", "najdłuższa przerwa między odbieranymi bajtami w ms", sgTimeouts,
            -1, INT32_MAX, [](const Target& p) { return p.Timeouts().ReadInterval(); },
            [](Target& p, int32_t v) { p.Timeouts().SetReadInterval(v); }),
        Number(
            "Timeouts.ReadTotalConstant", "read-total-constant", "czas odczytu dodawany raz, w ms", sgTimeouts, -1,
            INT32_MAX, [](const Target& p) { return p.Timeouts().ReadTotalConstant(); },
            [](Target& p, int32_t v) { p.Timeouts().SetReadTotalConstant(v); }),
        Number(
            "Timeouts.ReadTotalMultiplier", "read-total-multiplier", "czas odczytu na każdy bajt, w ms", sgTimeouts, -1,
            INT32_MAX, [](const Target& p) { return p.Timeouts().ReadTotalMultiplier(); },
            [](Target& p, int32_t v) { p.Timeouts().SetReadTotalMultiplier(v); }),
        Number(
            "Timeouts.WriteTotalConstant", "write-total-constant", "czas zapisu dodawany raz, w ms", sgTimeouts, -1,
            INT32_MAX, [](const Target& p) { return p.Timeouts().WriteTotalConstant(); },
            [](Target& p, int32_t v) { p.Timeouts().SetWriteTotalConstant(v); }),
        Number(
            "Timeouts.WriteTotalMultiplier", "write-total-multiplier", "czas zapisu na każdy bajt, w ms", sgTimeouts,
            -1, INT32_MAX, [](const Target& p) { return p.Timeouts().WriteTotalMultiplier(); },
            [](Target& p, int32_t v) { p.Timeouts().SetWriteTotalMultiplier(v); }),
        List(
            "FlowControl.ControlRTS", "rts", "sterowanie linią RTS", sgFlowDetails, kRTSTexts, rtsDisable,
            [](const Target& p) -> int32_t { return p.FlowControl().ControlRTS(); },
            [](Target& p, int32_t v) { p.FlowControl().SetControlRTS(static_cast<TRTSFlowControl>(v)); }),
        List(
            "FlowControl.ControlDTR", "dtr", "sterowanie linią DTR", sgFlowDetails, kDTRTexts, dtrDisable,
            [](const Target& p) -> int32_t { return p.FlowControl().ControlDTR(); },
            [](Target& p, int32_t v) { p.FlowControl().SetControlDTR(static_cast<TDTRFlowControl>(v)); }),
        YesNo(
            "FlowControl.DSRSensitivity", "dsr-sensitivity", "odrzucanie bajtów odebranych przy wyłączonym DSR",
            sgFlowDetails, [](const Target& p) -> int32_t { return p.FlowControl().DSRSensitivity(); },
            [](Target& p, int32_t v) { p.FlowControl().SetDSRSensitivity(v != 0); }),
        YesNo(
            "FlowControl.OutCTSFlow", "out-cts-flow", "nadawanie czeka, gdy CTS jest wyłączone", sgFlowDetails,
            [](const Target& p) -> int32_t { return p.FlowControl().OutCTSFlow(); },
            [](Target& p, int32_t v) { p.FlowControl().SetOutCTSFlow(v != 0); }),
        YesNo(
            "FlowControl.OutDSRFlow", "out-dsr-flow", "nadawanie czeka, gdy DSR jest wyłączone", sgFlowDetails,
            [](const Target& p) -> int32_t { return p.FlowControl().OutDSRFlow(); },
            [](Target& p, int32_t v) { p.FlowControl().SetOutDSRFlow(v != 0); }),
        YesNo(
            "FlowControl.TxContinueOnXoff", "tx-continue-on-xoff", "nadawanie trwa po wysłaniu XOFF", sgFlowDetails,
            [](const Target& p) -> int32_t { return p.FlowControl().TxContinueOnXoff(); },
            [](Target& p, int32_t v) { p.FlowControl().SetTxContinueOnXoff(v != 0); }),
        YesNo(
            "FlowControl.XonXoffIn", "xon-xoff-in", "wysyłanie XOFF i XON, gdy kolejka odbiorcza się zapełnia",
            sgFlowDetails, [](const Target& p) -> int32_t { return p.FlowControl().XonXoffIn(); },
            [](Target& p, int32_t v) { p.FlowControl().SetXonXoffIn(v != 0); }),
        YesNo(
            "FlowControl.XonXoffOut", "xon-xoff-out", "nadawanie wstrzymywane odebranym XOFF", sgFlowDetails,
            [](const Target& p) -> int32_t { return p.FlowControl().XonXoffOut(); },
            [](Target& p, int32_t v) { p.FlowControl().SetXonXoffOut(v != 0); }),
        Char(
            "FlowControl.XoffChar", "xoff-char", "znak XOFF", sgFlowDetails,
            [](const Target& p) -> int32_t { return p.FlowControl().XoffChar(); },
            [](Target& p, int32_t v) { p.FlowControl().SetXoffChar(static_cast<uint8_t>(v)); }),
        Char(
            "FlowControl.XonChar", "xon-char", "znak XON", sgFlowDetails,
            [](const Target& p) -> int32_t { return p.FlowControl().XonChar(); },
            [](Target& p, int32_t v) { p.FlowControl().SetXonChar(static_cast<uint8_t>(v)); }),
    });
    return rows;
}

// A whole decimal number within [Min, Max], as a person writes it.
bool ParseTyped(const std::string& Text, int32_t Min, int32_t Max, int32_t& Value)
{
    const char* end = Text.data() + Text.size();
    const auto [stop, error] = std::from_chars(Text.data(), end, Value);
    return !Text.empty() && error == std::errc() && stop == end && Value >= Min && Value <= Max;
}

bool IsTypedChar(const std::string& Text)
{
    int32_t code = 0;
    return Text.size() == 1 || (Text[0] == '#' && ParseTyped(Text.substr(1), 0, 255, code));
}

} // namespace

const char* TPortSetting::Name() const { return FRow->Name; }
const char* TPortSetting::Option() const { return FRow->Option; }
const char* TPortSetting::Description() const { return FRow->Description; }
TSettingsGroup TPortSetting::Group() const { return FRow->Group; }
TSettingKind TPortSetting::Kind() const { return FRow->Kind; }
TComProperty TPortSetting::ComProperty() const { return FRow->ComProperty; }

const char* TPortSetting::Caption() const { return FRow->Caption != nullptr ? FRow->Caption : FRow->Name; }
std::span<const char* const> TPortSetting::Texts() const { return FRow->Texts; }
int32_t TPortSetting::Min() const { return FRow->Min; }
bool TPortSetting::StoredOnlyWhenSet() const { return FRow->OnlyWhenSet; }
bool TPortSetting::Advanced() const { return FRow->Advanced; }
int32_t TPortSetting::Max() const { return FRow->Max; }

std::string TPortSetting::Text(const TCustomComPort& Port) const
{
    switch (Kind()) {
    case skName:
        return FRow->GetName(Port);
    case skList:
    case skRate:
        return FRow->Texts[static_cast<size_t>(FRow->Get(Port))];
    case skChar:
        return CharToText(static_cast<uint8_t>(FRow->Get(Port)));
    case skNumber:
        break;
    }
    return std::to_string(FRow->Get(Port));
}

void TPortSetting::SetText(TCustomComPort& Port, const std::string& Text) const
{
    switch (Kind()) {
    case skName:
        FRow->SetName(Port, Text);
        return;
    case skList:
    case skRate: {
        const int32_t index = IndexIgnoringCase(FRow->Texts, Text);
        FRow->Set(Port, index >= 0 ? index : FRow->Fallback);
        return;
    }
    case skChar:
        FRow->Set(Port, TextToChar(Text));
        return;
    case skNumber:
        break;
    }
    int32_t value = 0;
    if (TryParseInteger(Text, value))
        FRow->Set(Port, value);
}

int32_t TPortSetting::Number(const TCustomComPort& Port) const { return FRow->Get(Port); }

void TPortSetting::SetNumber(TCustomComPort& Port, int32_t Value) const
{
    if (FRow->SetNumber != nullptr)
        FRow->SetNumber(Port, Value);
    else
        FRow->Set(Port, Value);
}

bool TPortSetting::Accepts(const std::string& Text) const
{
    int32_t number = 0;
    switch (Kind()) {
    case skName:
        return !Text.empty();
    case skList:
        return IndexIgnoringCase(FRow->Texts, Text) >= 0;
    case skRate:
        return IndexIgnoringCase(FRow->Texts, Text) >= 0 || ParseTyped(Text, FRow->Min, FRow->Max, number);
    case skChar:
        return IsTypedChar(Text);
    case skNumber:
        break;
    }
    return ParseTyped(Text, FRow->Min, FRow->Max, number);
}

void TPortSetting::SetTyped(TCustomComPort& Port, const std::string& Text) const
{
    int32_t number = 0;
    const bool isNumber = Kind() != skChar && ParseTyped(Text, FRow->Min, FRow->Max, number);
    if (Kind() == skRate && IndexIgnoringCase(FRow->Texts, Text) < 0 && isNumber)
        SetNumber(Port, number);
    else if (Kind() == skNumber && isNumber)
        SetNumber(Port, number);
    else
        SetText(Port, Text);
}

std::vector<std::string> TPortSetting::Choices() const
{
    std::vector<std::string> choices;
    if (Kind() == skName)
        ListPortNames(choices);
    for (const char* text : FRow->Texts)
        choices.emplace_back(text);
    return choices;
}

std::span<const TPortSetting> PortSettings()
{
    static const std::vector<TPortSetting> settings = [] {
        std::vector<TPortSetting> handles;
        for (const TPortSettingRow& row : Rows())
            handles.emplace_back(row);
        return handles;
    }();
    return settings;
}

namespace {

template <typename Match>
const TPortSetting* FindSetting(Match Matches)
{
    for (const TPortSetting& setting : PortSettings())
        if (Matches(setting))
            return &setting;
    return nullptr;
}

} // namespace

const TPortSetting* FindPortSetting(std::string_view Name)
{
    return FindSetting([Name](const TPortSetting& s) { return Name == s.Name(); });
}

const TPortSetting* FindPortSettingOption(std::string_view Option)
{
    if (Option.empty())
        return nullptr;
    return FindSetting([Option](const TPortSetting& s) { return Option == s.Option(); });
}

const TPortSetting* PortSettingOf(TComProperty Property)
{
    if (Property == cpNone)
        return nullptr;
    return FindSetting([Property](const TPortSetting& s) { return s.ComProperty() == Property; });
}
