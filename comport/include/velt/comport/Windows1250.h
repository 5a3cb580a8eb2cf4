#pragma once
/// @file
/// Windows-1250, the code page of the meter's text, of saved files and of the
/// line log's text. Our own table keeps the conversion exact and the same on
/// every platform.
#include <velt/comport/Export.h>
#include <string>
#include <string_view>

namespace windows1250 {

/// Every byte decodes to one UTF-16 unit. The five bytes the code page leaves
/// unassigned (0x81, 0x83, 0x88, 0x90, 0x98) decode to the C1 control of the
/// same number, as Windows does, so no byte is ever lost.
VELT_COMPORT_EXPORT std::u16string Decode(std::string_view Bytes);

/// The byte of a character, or false when the code page has no such character.
VELT_COMPORT_EXPORT bool EncodeChar(char16_t Character, char& Byte);

} // namespace windows1250

/// UTF-16 text as UTF-8; a lone surrogate becomes U+FFFD.
VELT_COMPORT_EXPORT std::string Utf16ToUtf8(std::u16string_view Text);
/// UTF-8 text (the program's own texts) as UTF-16; a malformed byte becomes U+FFFD.
VELT_COMPORT_EXPORT std::u16string Utf8ToUtf16(std::string_view Text);
