#pragma once
// The lists of the setup dialog, one per line setting it offers: the label,
// the texts the setting can take, the port's current value and how a chosen
// text is written back.
#include <functional>
#include <string>
#include <vector>

class TCustomComPort;

struct SetupRow {
    std::wstring Caption;
    std::vector<std::string> Choices;
    std::string Current;
    std::function<void(TCustomComPort& Port, const std::string& Text)> Write;
};

// The rows for Port, in the dialog's order. The port list is the system's,
// sorted, with the port's own device name added when the system does not
// list it, so that OK keeps it. Throws EComPort when the list cannot be read.
std::vector<SetupRow> MakeSetupRows(const TCustomComPort& Port);
