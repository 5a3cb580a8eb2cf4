#include "RtfDocument.h"

#include <cstdint>
#include <cstdio>

#include <velt/comport/Windows1250.h>

namespace {

// Font 0 uses the Central European character set (238), matching \ansicpg1250,
// so that readers pick glyphs for the Polish letters.
constexpr const char* kHeader =
    "{\\rtf1\\ansi\\ansicpg1250\\deff0\\deflang1045"
    "{\\fonttbl{\\f0\\fswiss\\fcharset238 MS Sans Serif;}}\r\n"
    "\\viewkind4\\uc1\\pard\\f0\\fs16 ";

void AppendHexByte(std::string& Rtf, uint8_t Byte)
{
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\'%02x", Byte);
    Rtf += escaped;
}

// A character the code page lacks: its UTF-16 unit as a signed number, with
// '?' for readers that skip \u.
void AppendUnicode(std::string& Rtf, char16_t Unit) { Rtf += "\\u" + std::to_string(static_cast<int16_t>(Unit)) + "?"; }

void AppendCharacter(std::string& Rtf, char16_t Code)
{
    if (Code == u'\\' || Code == u'{' || Code == u'}') {
        Rtf += '\\';
        Rtf += static_cast<char>(Code);
    } else if (Code == u'\t') {
        Rtf += "\\tab ";
    } else if (Code >= 0x20 && Code < 0x7F) {
        Rtf += static_cast<char>(Code);
    } else if (char byte; Code >= 0x80 && windows1250::EncodeChar(Code, byte)) {
        AppendHexByte(Rtf, static_cast<uint8_t>(byte));
    } else if (Code < 0x20 || Code == 0x7F) {
        AppendHexByte(Rtf, static_cast<uint8_t>(Code));
    } else {
        AppendUnicode(Rtf, Code);
    }
}

bool IsLineBreak(char16_t Code)
{
    constexpr char16_t kLineSeparator = 0x2028;
    constexpr char16_t kParagraphSeparator = 0x2029;
    return Code == u'\n' || Code == u'\r' || Code == kLineSeparator || Code == kParagraphSeparator;
}

} // namespace

std::string RtfDocument(std::u16string_view Text)
{
    std::string rtf = kHeader;
    for (size_t i = 0; i < Text.size(); ++i) {
        const char16_t code = Text[i];
        if (code == u'\r' && i + 1 < Text.size() && Text[i + 1] == u'\n')
            continue; // CR LF is one line break
        if (IsLineBreak(code))
            rtf += "\\par\r\n";
        else
            AppendCharacter(rtf, code);
    }
    rtf += "}\r\n";
    return rtf;
}
