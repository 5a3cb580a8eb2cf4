#pragma once
// Writes Bytes to the file Name, replacing any file of that name. Throws
// std::runtime_error, naming the file and the system's reason, on failure.
#include <string>

void WriteWholeFile(const std::wstring& Name, const std::string& Bytes);
