#pragma once
/// @file
/// The framework's integer parsing. Both readers accept leading blanks, an
/// optional "+" or "-", and decimal digits, or hexadecimal digits after one of
/// the prefixes "$", "x", "X", "0x", "0X".
#include <velt/comport/Export.h>
#include <cstdint>
#include <string_view>

/// Strict reading: the whole text must be one number (no trailing characters,
/// not even blanks). Decimal numbers must fit in 32 signed bits; hexadecimal
/// ones may use all 32 bits, so "$FFFFFFFF" reads as -1. Returns false and
/// leaves Value alone when the text is not such a number.
VELT_COMPORT_EXPORT bool TryParseInteger(std::string_view Text, int32_t& Value);

/// Lenient reading of the number a text starts with, for answers that carry
/// line ends or other text after the digits: digits are read up to the first
/// character that is not one, so "91\r\n" gives 91, and a text that does not
/// start with a number gives 0. A value beyond 32 bits stops at the nearest
/// 32-bit limit instead of wrapping round to a wrong number.
VELT_COMPORT_EXPORT int32_t ParseLeadingInteger(std::string_view Text);
