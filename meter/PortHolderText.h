#pragma once
// Who holds a port that could not be opened, in a sentence for the operator
// (UTF-8); empty when the system does not tell or nobody holds it.
#include <string>

std::string PortHolderText(const std::string& Port);
