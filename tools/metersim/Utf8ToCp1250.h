#pragma once
// The meter's texts are written here in UTF-8 and sent in Windows-1250.
#include <string>

// Converts the characters the meter uses (ASCII, the Polish letters, the
// degree sign and the en dash); any other character becomes '?'.
std::string Utf8ToCp1250(const std::string& Utf8);
