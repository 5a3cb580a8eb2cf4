#include "SetupRows.h"

#include <windows.h>

#include <algorithm>

#include <velt/comport/ComPort.h>

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

// A device name the system does not list (an adapter not plugged in now) is
// offered all the same: the stored port survives an OK.
void KeepCurrentName(SetupRow& Row)
{
    if (Row.Setting.Kind() != skName || Row.Current.empty())
        return;
    const bool listed = std::any_of(Row.Choices.begin(), Row.Choices.end(),
                                    [&](const std::string& Choice) { return SameText(Choice, Row.Current); });
    if (!listed)
        Row.Choices.push_back(Row.Current);
}

} // namespace

std::vector<SetupRow> MakeSetupRows(const TCustomComPort& Port)
{
    std::vector<SetupRow> rows;
    for (const TPortSetting& setting : PortSettings()) {
        if (setting.ComProperty() == cpNone)
            continue;
        SetupRow row{setting, CaptionOf(setting), setting.Choices(), setting.Text(Port)};
        KeepCurrentName(row);
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(), [](const SetupRow& A, const SetupRow& B) {
        return A.Setting.ComProperty() < B.Setting.ComProperty();
    });
    return rows;
}
