#include "SetupRows.h"

#include <windows.h>

#include <algorithm>

#include <velt/comport/ComError.h>
#include <velt/comport/ComPort.h>
#include <velt/comport/PortDetails.h>
#include <velt/comport/PortList.h>

#include <velt/comport/platform/WideText.h>

namespace {

// The dialog's label of each list; a list the dialog has no label for shows
// the setting's stored name.
std::wstring CaptionOf(const TPortSetting& Setting)
{
    switch (Setting.ComProperty()) {
    case cpPort:
        return L"Port";
    case cpBaudRate:
        return L"Prędkość";
    case cpDataBits:
        return L"Bity danych";
    case cpStopBits:
        return L"Bity stopu";
    case cpParity:
        return L"Parzystość";
    case cpFlowControl:
        return L"Sterowanie";
    default:
        return WideFromUtf8(Setting.Name());
    }
}

bool SameText(const std::string& A, const std::string& B)
{
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, A.data(), static_cast<int>(A.size()), B.data(),
                          static_cast<int>(B.size())) == CSTR_EQUAL;
}

// A name is offered once, in the letter case listed first.
void KeepName(std::vector<std::string>& Names, const std::string& Name)
{
    const bool listed =
        std::any_of(Names.begin(), Names.end(), [&](const std::string& Listed) { return SameText(Listed, Name); });
    if (!Name.empty() && !listed)
        Names.push_back(Name);
}

// The names were read a moment ago; details that cannot be read now leave
// the names alone, as on a system that tells nothing more of its ports.
std::vector<TPortDetails> ReadPortDetails()
{
    std::vector<TPortDetails> details;
    try {
        ListPortDetails(details);
    } catch (const EComPort&) {
        details.clear();
    }
    return details;
}

std::string ShownPort(const std::string& Name, const std::vector<std::string>& Listed,
                      const std::vector<TPortDetails>& Details)
{
    if (!IsPortPresent(Name, Listed))
        return Name + " (brak)";
    const auto found = std::find_if(Details.begin(), Details.end(),
                                    [&](const TPortDetails& Port) { return SameText(Port.Name, Name); });
    return found == Details.end() ? Name : DescribePort(*found);
}

} // namespace

std::vector<SetupRow> MakeSetupRows(const TCustomComPort& Port)
{
    std::vector<SetupRow> rows;
    for (const TPortSetting& setting : PortSettings()) {
        if (setting.ComProperty() == cpNone)
            continue;
        SetupRow row{setting, CaptionOf(setting), {}, {}, setting.Text(Port)};
        if (setting.Kind() == skName) {
            ListPorts(row, {});
        } else {
            row.Choices = setting.Choices();
            row.Shown = row.Choices;
        }
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(), [](const SetupRow& A, const SetupRow& B) {
        return A.Setting.ComProperty() < B.Setting.ComProperty();
    });
    return rows;
}

void ListPorts(SetupRow& Row, const std::string& Selected)
{
    const std::vector<std::string> listed = Row.Setting.Choices();
    // A device name the system does not list (an adapter not plugged in now)
    // is offered all the same: the stored port survives an OK.
    std::vector<std::string> names = listed;
    KeepName(names, Row.Current);
    KeepName(names, Selected);
    const std::vector<TPortDetails> details = ReadPortDetails();
    std::vector<std::string> shown;
    for (const std::string& name : names)
        shown.push_back(ShownPort(name, listed, details));
    Row.Choices = std::move(names);
    Row.Shown = std::move(shown);
}

int IndexOfChoice(const SetupRow& Row, const std::string& Value)
{
    for (size_t i = 0; i < Row.Choices.size(); ++i)
        if (SameText(Row.Choices[i], Value))
            return static_cast<int>(i);
    return -1;
}
