#include <velt/comport/framework/IniFile.h>

#include <optional>
#include <vector>

#include "AtomicFile.h"
#include "ConfigHome.h"
#include <velt/comport/framework/IntParse.h>
#include "LineEnd.h"
#include "PathText.h"
#include "TextLines.h"

namespace {

struct IniText {
    std::vector<std::string> Lines;
    std::string LineEnd = NativeLineEnd(); // a file that exists keeps its own
};

// Where a value stands, or where it would be added.
struct IniPlace {
    bool SectionFound = false;
    std::optional<size_t> ValueLine;
    size_t InsertAt = 0; // after the section's last line that is not blank
};

IniText SplitIniText(const std::string& Content)
{
    IniText text;
    // The first line end sets the style; a CR elsewhere may be text.
    const size_t firstEnd = Content.find('\n');
    if (firstEnd != std::string::npos && firstEnd > 0 && Content[firstEnd - 1] == '\r')
        text.LineEnd = "\r\n";
    else if (Content.find('\n') != std::string::npos)
        text.LineEnd = "\n";
    text.Lines = SplitLines(std::string_view(Content));
    return text;
}

std::string JoinLines(const IniText& Text)
{
    std::string content;
    for (const std::string& line : Text.Lines)
        AppendLine(content, line, Text.LineEnd);
    return content;
}

std::optional<std::string_view> SectionName(std::string_view Line)
{
    const std::string_view trimmed = TrimBlanks(Line);
    const size_t close = trimmed.find(']');
    if (trimmed.empty() || trimmed.front() != '[' || close == std::string_view::npos)
        return std::nullopt;
    return TrimBlanks(trimmed.substr(1, close - 1));
}

// The name of a "name=value" line; comments and other lines have none.
std::optional<std::string_view> ValueName(std::string_view Line)
{
    const std::string_view trimmed = TrimBlanks(Line);
    const size_t equals = trimmed.find('=');
    if (trimmed.empty() || trimmed.front() == ';' || equals == std::string_view::npos)
        return std::nullopt;
    return TrimBlanks(trimmed.substr(0, equals));
}

std::string_view ValueText(std::string_view Line) { return TrimBlanks(Line.substr(Line.find('=') + 1)); }

// Only the first section of a name counts, as with the Windows service.
// Section and Name are trimmed as the names in the file are, so that what a
// write stores is found again.
IniPlace Locate(const IniText& Text, std::string_view Section, std::string_view Name)
{
    Section = TrimBlanks(Section);
    Name = TrimBlanks(Name);
    IniPlace place;
    place.InsertAt = Text.Lines.size();
    bool inside = false;
    for (size_t i = 0; i < Text.Lines.size(); ++i) {
        const std::string& line = Text.Lines[i];
        if (const auto section = SectionName(line)) {
            if (inside)
                break;
            inside = !place.SectionFound && SameTextNoCase(*section, Section);
            place.SectionFound = place.SectionFound || inside;
            if (inside)
                place.InsertAt = i + 1;
            continue;
        }
        if (!inside)
            continue;
        if (!TrimBlanks(line).empty())
            place.InsertAt = i + 1;
        const auto name = ValueName(line);
        if (name && !place.ValueLine && SameTextNoCase(*name, Name))
            place.ValueLine = i;
    }
    return place;
}

// A CR, an LF or a zero byte: what one line of the file cannot carry.
bool HasLineEnd(std::string_view Text)
{
    return Text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void RequireStorable(const std::string& Section, const std::string& Name, const std::string& Value)
{
    const std::string_view name = TrimBlanks(Name);
    const bool ok = !HasLineEnd(Section) && !HasLineEnd(Name) && !HasLineEnd(Value) &&
                    Section.find(']') == std::string::npos && !name.empty() &&
                    name.find('=') == std::string_view::npos && name.front() != '[' && name.front() != ';';
    if (!ok)
        throw EIniFileException("The value [" + Section + "] " + Name + " cannot be stored in a profile file");
}

std::string WithValue(const std::optional<std::string>& Content, const std::string& Section, const std::string& Name,
                      const std::string& Value)
{
    IniText text = SplitIniText(Content.value_or(""));
    const IniPlace place = Locate(text, Section, Name);
    const std::string line = std::string(TrimBlanks(Name)) + "=" + Value;
    if (place.ValueLine) {
        text.Lines[*place.ValueLine] = line;
    } else if (place.SectionFound) {
        text.Lines.insert(text.Lines.begin() + static_cast<std::ptrdiff_t>(place.InsertAt), line);
    } else {
        if (!text.Lines.empty() && !TrimBlanks(text.Lines.back()).empty())
            text.Lines.emplace_back();
        text.Lines.push_back("[" + std::string(TrimBlanks(Section)) + "]");
        text.Lines.push_back(line);
    }
    return JoinLines(text);
}

} // namespace

// A name without a directory (or, on Windows, a drive) lives in the
// settings home; the name is UTF-8 text.
TIniFile::TIniFile(const std::string& FileName)
    : FInConfigHome(!PathFromUtf8(FileName).has_parent_path()),
      FFileName(FInConfigHome ? ConfigHome() / PathFromUtf8(FileName) : PathFromUtf8(FileName))
{
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Name, const std::string& Default) const
{
    std::optional<std::string> content;
    try {
        content = ReadWholeFile(FFileName);
    } catch (const std::exception& e) {
        throw EIniFileException(e.what());
    }
    if (!content)
        return Default;
    const IniText text = SplitIniText(*content);
    const IniPlace place = Locate(text, Section, Name);
    if (!place.ValueLine)
        return Default;
    // What a write would refuse is not handed out either.
    const std::string_view value = ValueText(text.Lines[*place.ValueLine]);
    if (HasLineEnd(value))
        throw EIniFileException("The value [" + Section + "] " + Name + " holds a line end or a zero byte");
    return std::string(value);
}

int32_t TIniFile::ReadInteger(const std::string& Section, const std::string& Name, int32_t Default) const
{
    int32_t value = Default;
    if (!TryParseInteger(ReadString(Section, Name, ""), value))
        return Default;
    return value;
}

void TIniFile::WriteString(const std::string& Section, const std::string& Name, const std::string& Value)
{
    RequireStorable(Section, Name, Value);
    try {
        if (FInConfigHome)
            EnsureDirectory(FFileName.parent_path());
        const std::filesystem::path directory = FFileName.parent_path().empty() ? "." : FFileName.parent_path();
        if (!std::filesystem::is_directory(directory))
            throw EIniFileException("No directory " + Utf8FromPath(directory));
        UpdateFileAtomically(FFileName, directory, [&](const std::optional<std::string>& Content) {
            return WithValue(Content, Section, Name, Value);
        });
    } catch (const std::exception& e) {
        throw EIniFileException(e.what());
    }
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Name, int32_t Value)
{
    WriteString(Section, Name, std::to_string(Value));
}
