#pragma once
// Small text helpers shared by the line-oriented stores (registry file, ini
// files): lines, blanks and names compared without regard to ASCII case.
#include <string>
#include <string_view>
#include <vector>

// The lines of Content, each without its LF or CR LF ending. A CR anywhere
// else is kept as text of its line.
std::vector<std::string> SplitLines(std::string_view Content);
// Appends Line and LineEnd ("\n" or "\r\n") so that SplitLines gives Line
// back unchanged.
void AppendLine(std::string& Out, std::string_view Line, std::string_view LineEnd);
// Text without leading and trailing blanks and tabs.
std::string_view TrimBlanks(std::string_view Text);
char LowerAscii(char c);
// Equal texts, ASCII letters compared without regard to case.
bool SameTextNoCase(std::string_view A, std::string_view B);
