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
    std::vector<std::string> Choices; // the values, as the port takes them
    std::vector<std::string> Shown;   // what the list shows for each value
    std::string Current;              // the port's value
};

// The rows for Port. The port list is the system's, sorted, with the port's
// own device name added when the system does not list it, so that OK keeps
// it. Throws EComPort when the list cannot be read.
std::vector<SetupRow> MakeSetupRows(const TCustomComPort& Port);

// Reads the port list of the port row again. Beside the system's ports it
// keeps the port's own name and Selected (the operator's pick, which stays
// theirs when that adapter is pulled out); a name the system does not have
// now shows marked "(brak)", a listed one with what the system tells of it.
// Throws EComPort when the list cannot be read, leaving Row as it was.
void ListPorts(SetupRow& Row, const std::string& Selected);

// The position of Value among Row's values without regard to letter case,
// or -1.
int IndexOfChoice(const SetupRow& Row, const std::string& Value);
