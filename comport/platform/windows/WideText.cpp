#include <velt/comport/platform/WideText.h>

#include <windows.h>

#include <climits>

std::wstring WideFromUtf8(std::string_view Text)
{
    if (Text.empty() || Text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(Text.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, Text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Text.data(), size, wide.data(), needed);
    return wide;
}

std::string Utf8FromWide(std::wstring_view Text)
{
    if (Text.empty() || Text.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(Text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, Text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Text.data(), size, text.data(), needed, nullptr, nullptr);
    return text;
}
