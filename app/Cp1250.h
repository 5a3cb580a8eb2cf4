#pragma once
// Windows-1250 for Qt text: the program's own code-page table, on QString.
#include <QString>
#include <string>

namespace cp1250 {

// Every byte decodes to one character. The five bytes the code page leaves
// unassigned (0x81, 0x83, 0x88, 0x90, 0x98) decode to the C1 control of the
// same number, as Windows does, so no byte is ever lost.
QString Decode(const std::string& Bytes);

// The byte of a character, or false when the code page has no such character.
bool EncodeChar(QChar Character, char& Byte);

// Every character the code page lacks becomes '?'.
std::string Encode(const QString& Text);

} // namespace cp1250
