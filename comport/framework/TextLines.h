#pragma once
// Small text helpers shared by the line-oriented stores (registry file, ini
// files): lines, blanks and names compared without regard to ASCII case.
#include <string>
#include <string_view>
#include <vector>

// The lines of Content, each without its LF or CR LF ending.
std::vector<std::string> SplitLines(std::string_view Content);
// Text without leading and trailing blanks and tabs.
std::string_view TrimBlanks(std::string_view Text);
char LowerAscii(char c);
// Equal texts, ASCII letters compared without regard to case.
bool SameTextNoCase(std::string_view A, std::string_view B);
