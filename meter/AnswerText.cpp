#include "AnswerText.h"

#include <velt/comport/Windows1250.h>

std::u16string AnswerText(const std::string& Bytes)
{
    const std::u16string decoded = windows1250::Decode(Bytes);
    std::u16string text;
    text.reserve(decoded.size());
    for (size_t i = 0; i < decoded.size(); ++i) {
        const char16_t c = decoded[i];
        if (c == u'\0')
            continue;
        if (c == u'\r') {
            if (i + 1 < decoded.size() && decoded[i + 1] == u'\n')
                continue; // CR LF: the LF ends the line
            text.push_back(u'\n');
        } else {
            text.push_back(c);
        }
    }
    return text;
}

std::u16string PaneText(const std::string& Bytes) { return AnswerText(Bytes.substr(0, Bytes.find('\0'))); }
