#pragma once
// Who holds a port that could not be opened, in a sentence for the operator
// (UTF-8); empty when the system does not tell or nobody holds it.
#include <string>

std::string PortHolderText(const std::string& Port);

// Only the programs seen holding Port: "minicom (PID 1234), screen (PID 99)";
// empty when none is.
std::string PortHolderNames(const std::string& Port);
