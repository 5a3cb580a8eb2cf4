#pragma once
// Writing a whole file at once.
#include <QString>
#include <string>

// Replaces FileName with Bytes: the new content appears whole or not at all.
// Throws Exception with the file name and the reason when it cannot.
void WriteWholeFile(const QString& FileName, const std::string& Bytes);
