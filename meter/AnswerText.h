#pragma once
// A meter's answer as text: Windows-1250 decoded, one line break per line.
#include <string>

// The answer's text with every line ending as "\n". NUL bytes are left out
// and the text after them kept: nothing the meter sent is lost.
std::u16string AnswerText(const std::string& Bytes);

// The answer as the pane shows it: the answer is taken as zero-terminated
// text, so what follows a NUL byte is not shown (velt-cli writes it all).
std::u16string PaneText(const std::string& Bytes);
