#include "RtfWriter.h"

#include <cstdint>
#include <cstdio>

#include "Cp1250.h"

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
void AppendUnicode(std::string& Rtf, char16_t Unit)
{
    Rtf += "\\u" + std::to_string(static_cast<int16_t>(Unit)) + "?";
}

void AppendCharacter(std::string& Rtf, QChar Character)
{
    const char16_t code = Character.unicode();
    if (code == u'\\' || code == u'{' || code == u'}') {
        Rtf += '\\';
        Rtf += static_cast<char>(code);
    } else if (code == u'\t') {
        Rtf += "\\tab ";
    } else if (code >= 0x20 && code < 0x7F) {
        Rtf += static_cast<char>(code);
    } else if (char byte; code >= 0x80 && cp1250::EncodeChar(Character, byte)) {
        AppendHexByte(Rtf, static_cast<uint8_t>(byte));
    } else if (code < 0x20 || code == 0x7F) {
        AppendHexByte(Rtf, static_cast<uint8_t>(code));
    } else {
        AppendUnicode(Rtf, code);
    }
}

} // namespace

std::string TextToRtf(const QString& Text)
{
    std::string rtf = kHeader;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        const QChar character = Text.at(i);
        if (character == u'\r' && i + 1 < Text.size() && Text.at(i + 1) == u'\n')
            continue; // CR LF is one line break
        if (character == u'\n' || character == u'\r' || character == QChar::ParagraphSeparator
            || character == QChar::LineSeparator)
            rtf += "\\par\r\n";
        else
            AppendCharacter(rtf, character);
    }
    rtf += "}\r\n";
    return rtf;
}
