#pragma once
/// @file
/// TIniFile: a profile (ini) file with the Windows rules. "[Section]" lines
/// open sections, "name=value" lines hold values; section and value names
/// compare without regard to letter case, names and values are read without
/// the blanks around them, and every other line (comments, anything unknown)
/// is kept where it is. Nothing is read or written until a value is; each
/// write is a locked read-modify-write that replaces the file atomically.
/// A file name without a directory lives in the settings home
/// (${XDG_CONFIG_HOME:-$HOME/.config}; on Windows %APPDATA%).
#include <velt/comport/Export.h>
#include <cstdint>
#include <filesystem>
#include <string>

#include <velt/comport/framework/Exception.h>

class VELT_COMPORT_EXPORT EIniFileException : public Exception {
public:
    using Exception::Exception;
};

/// A profile (ini) file, read and written value by value (see the file's
/// description for its rules).
class VELT_COMPORT_EXPORT TIniFile {
public:
    explicit TIniFile(const std::string& FileName); ///< The file FileName; nothing is read yet.

    const std::filesystem::path& FileName() const { return FFileName; } ///< The file's full path.

    /// The stored text, or Default when the file, section or value is missing.
    /// A file that exists but cannot be read fails, and so does a value that
    /// WriteString would refuse (a CR or a zero byte in it). Section and Name
    /// are taken without surrounding blanks, by reads and writes alike.
    std::string ReadString(const std::string& Section, const std::string& Name, const std::string& Default) const;
    /// The stored text read as an integer (decimal, or hexadecimal after $, x
    /// or 0x); Default when missing or not an integer.
    int32_t ReadInteger(const std::string& Section, const std::string& Name, int32_t Default) const;
    /// Fails when the file cannot be written, and for names and values that a
    /// line of the file cannot hold as given (line ends, a "]" in a section
    /// name, a "=" in a value name).
    void WriteString(const std::string& Section, const std::string& Name, const std::string& Value);
    /// Written as decimal text.
    void WriteInteger(const std::string& Section, const std::string& Name, int32_t Value);

private:
    bool FInConfigHome;
    std::filesystem::path FFileName;
};
