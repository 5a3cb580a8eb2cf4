#include "Utf8ToCp1250.h"

#include <cstdint>
#include <map>

namespace {

const std::map<char32_t, char>& Table()
{
    static const std::map<char32_t, char> table = {
        {U'ą', '\xB9'}, {U'ć', '\xE6'}, {U'ę', '\xEA'}, {U'ł', '\xB3'}, {U'ń', '\xF1'}, {U'ó', '\xF3'}, {U'ś', '\x9C'},
        {U'ź', '\x9F'}, {U'ż', '\xBF'}, {U'Ą', '\xA5'}, {U'Ć', '\xC6'}, {U'Ę', '\xCA'}, {U'Ł', '\xA3'}, {U'Ń', '\xD1'},
        {U'Ó', '\xD3'}, {U'Ś', '\x8C'}, {U'Ź', '\x8F'}, {U'Ż', '\xAF'}, {U'°', '\xB0'}, {U'–', '\x96'},
    };
    return table;
}

// Decodes one UTF-8 sequence at Text[Pos], moving Pos past it.
char32_t NextCodePoint(const std::string& Text, size_t& Pos)
{
    const auto lead = static_cast<uint8_t>(Text[Pos++]);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t code = extra == 3 ? lead & 0x07 : extra == 2 ? lead & 0x0F : extra == 1 ? lead & 0x1F : lead;
    for (; extra > 0 && Pos < Text.size(); --extra)
        code = (code << 6) | (static_cast<uint8_t>(Text[Pos++]) & 0x3F);
    return code;
}

} // namespace

std::string Utf8ToCp1250(const std::string& Utf8)
{
    std::string bytes;
    for (size_t pos = 0; pos < Utf8.size();) {
        const char32_t code = NextCodePoint(Utf8, pos);
        if (code < 0x80) {
            bytes += static_cast<char>(code);
        } else {
            const auto found = Table().find(code);
            bytes += found != Table().end() ? found->second : '?';
        }
    }
    return bytes;
}
