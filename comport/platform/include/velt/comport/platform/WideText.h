#pragma once
/// @file
/// Windows only: text is UTF-8 inside the component; the Windows API is
/// called with its wide (UTF-16) forms. Bytes that are not valid UTF-8 are
/// replaced by the replacement character rather than refused, so a name is
/// never lost whole.
#include <velt/comport/Export.h>
#include <string>
#include <string_view>

/// UTF-8 as the system's wide text.
VELT_COMPORT_EXPORT std::wstring WideFromUtf8(std::string_view Text);
/// The system's wide text as UTF-8.
VELT_COMPORT_EXPORT std::string Utf8FromWide(std::wstring_view Text);
