#pragma once
// The lists of the setup dialog, made from the component's settings table:
// one per setting that a setup list edits, in the lists' order (port, rate,
// data bits, stop bits, parity, flow control), each with the dialog's label,
// the texts the setting can take, the port's current value and the row that
// writes a chosen text back.
#include <string>
#include <vector>

#include <velt/comport/ComSettingsTable.h>

struct SetupRow {
    TPortSetting Setting;
    std::wstring Caption;
    std::vector<std::string> Choices;
    std::string Current;
};

// The rows for Port. The port list is the system's, sorted, with the port's
// own device name added when the system does not list it, so that OK keeps
// it. Throws EComPort when the list cannot be read.
std::vector<SetupRow> MakeSetupRows(const TCustomComPort& Port);
