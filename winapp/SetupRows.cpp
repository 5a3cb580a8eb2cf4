#include "SetupRows.h"

#include <velt/comport/ComPort.h>
#include <velt/comport/PortList.h>

#include <windows.h>

namespace {

bool SameText(const std::string& A, const std::string& B)
{
    return A.size() == B.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, A.data(), static_cast<int>(A.size()), B.data(),
                          static_cast<int>(B.size())) == CSTR_EQUAL;
}

std::vector<std::string> PortChoices(const std::string& Current)
{
    std::vector<std::string> names;
    ListPortNames(names);
    bool listed = false;
    for (const std::string& name : names)
        listed = listed || SameText(name, Current);
    if (!listed && !Current.empty())
        names.push_back(Current);
    return names;
}

} // namespace

// Every text of an enumeration with Count values, in ordinal order.
template <typename Enum>
std::vector<std::string> AllTexts(int Count, std::string (*ToText)(Enum))
{
    std::vector<std::string> texts;
    for (int value = 0; value < Count; ++value)
        texts.push_back(ToText(static_cast<Enum>(value)));
    return texts;
}

std::vector<SetupRow> MakeSetupRows(const TCustomComPort& Port)
{
    using P = TCustomComPort;
    using S = const std::string&;
    std::vector<SetupRow> rows;
    rows.push_back({L"Port", PortChoices(Port.Port()), Port.Port(), [](P& p, S t) { p.SetPort(t); }});
    rows.push_back({L"Prędkość", AllTexts<TBaudRate>(16, BaudRateToText), BaudRateToText(Port.BaudRate()),
                    [](P& p, S t) { p.SetBaudRate(TextToBaudRate(t)); }});
    rows.push_back({L"Bity danych", AllTexts<TDataBits>(4, DataBitsToText), DataBitsToText(Port.DataBits()),
                    [](P& p, S t) { p.SetDataBits(TextToDataBits(t)); }});
    rows.push_back({L"Bity stopu", AllTexts<TStopBits>(3, StopBitsToText), StopBitsToText(Port.StopBits()),
                    [](P& p, S t) { p.SetStopBits(TextToStopBits(t)); }});
    rows.push_back({L"Parzystość", AllTexts<TParityBits>(5, ParityToText), ParityToText(Port.Parity().Bits()),
                    [](P& p, S t) { p.Parity().SetBits(TextToParity(t)); }});
    rows.push_back({L"Sterowanie", AllTexts<TFlowControl>(4, FlowControlToText),
                    FlowControlToText(Port.FlowControl().FlowControl()),
                    [](P& p, S t) { p.FlowControl().SetFlowControl(TextToFlowControl(t)); }});
    return rows;
}
