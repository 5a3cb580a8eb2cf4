#pragma once
// Text is UTF-8 inside the component; the Windows API is called with its
// wide (UTF-16) forms. Bytes that are not valid UTF-8 are replaced by the
// replacement character rather than refused, so a name is never lost whole.
#include <string>
#include <string_view>

std::wstring WideFromUtf8(std::string_view Text);
std::string Utf8FromWide(std::wstring_view Text);
