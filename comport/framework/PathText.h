#pragma once
// File names are UTF-8 text inside the component. std::filesystem::path
// built from a std::string takes it in the system's narrow code page (on
// Windows, not UTF-8), so names go through these two.
#include <filesystem>
#include <string>

inline std::filesystem::path PathFromUtf8(const std::string& Text)
{
    return std::filesystem::path(std::u8string(Text.begin(), Text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& Path)
{
    const std::u8string text = Path.u8string();
    return std::string(text.begin(), text.end());
}
