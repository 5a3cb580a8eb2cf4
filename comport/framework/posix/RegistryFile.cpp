#include "RegistryFile.h"

#include "TextLines.h"

#include <algorithm>
#include <cstdio>

namespace regfile {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";

bool StartsWithNoCase(std::string_view Text, std::string_view Prefix)
{
    return Text.size() >= Prefix.size() && SameName(Text.substr(0, Prefix.size()), Prefix);
}

// Reads a quoted text starting at Pos (the opening quote). Only the
// backslash and the quote are escaped; any other backslash stands for itself.
// Returns the position after the closing quote.
std::optional<size_t> ParseQuoted(std::string_view Line, size_t Pos, std::string& Out)
{
    if (Pos >= Line.size() || Line[Pos] != '"')
        return std::nullopt;
    Out.clear();
    for (size_t i = Pos + 1; i < Line.size(); ++i) {
        const char c = Line[i];
        if (c == '"')
            return i + 1;
        if (c == '\\' && i + 1 < Line.size() && (Line[i + 1] == '\\' || Line[i + 1] == '"'))
            Out += Line[++i];
        else
            Out += c;
    }
    return std::nullopt;
}

std::string Quote(std::string_view Text)
{
    std::string out = "\"";
    for (char c : Text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

std::optional<uint32_t> ParseDword(std::string_view Digits)
{
    if (Digits.empty() || Digits.size() > 8)
        return std::nullopt;
    uint32_t value = 0;
    for (char c : Digits) {
        const char l = LowerAscii(c);
        const int digit = (l >= '0' && l <= '9') ? l - '0' : (l >= 'a' && l <= 'f') ? l - 'a' + 10 : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

// The data after "=": a quoted text, a dword, or a kind kept as read.
bool ParseData(std::string_view Data, Value& Out)
{
    if (!Data.empty() && Data.front() == '"') {
        const auto end = ParseQuoted(Data, 0, Out.Text);
        Out.Kind = ValueKind::Text;
        return end && TrimBlanks(Data.substr(*end)).empty();
    }
    if (StartsWithNoCase(Data, "dword:")) {
        const auto number = ParseDword(Data.substr(6));
        Out.Kind = ValueKind::Number;
        Out.Number = number.value_or(0);
        return number.has_value();
    }
    Out.Kind = ValueKind::Other;
    return StartsWithNoCase(Data, "hex") && Data.find(':') != std::string_view::npos;
}

std::optional<Value> ParseValueLine(std::string_view Line)
{
    Value value;
    size_t pos = 1;
    if (Line.front() == '"') {
        const auto end = ParseQuoted(Line, 0, value.Name);
        if (!end)
            return std::nullopt;
        pos = *end;
    } else if (Line.front() != '@') {
        return std::nullopt;
    }
    const std::string_view rest = TrimBlanks(Line.substr(pos));
    if (rest.empty() || rest.front() != '=')
        return std::nullopt;
    if (!ParseData(TrimBlanks(rest.substr(1)), value))
        return std::nullopt;
    return value;
}

std::optional<std::string> KeyHeader(std::string_view Line)
{
    const std::string_view trimmed = TrimBlanks(Line);
    if (trimmed.size() < 3 || trimmed.front() != '[' || trimmed.back() != ']')
        return std::nullopt;
    return std::string(trimmed.substr(1, trimmed.size() - 2));
}

class Parser {
public:
    explicit Parser(std::string_view Content) : FLines(SplitLines(Content)) {}

    std::optional<Document> Run()
    {
        if (!SkipHeader())
            return std::nullopt;
        Document doc;
        for (; FAt < FLines.size(); ++FAt) {
            const std::string& line = FLines[FAt];
            if (TrimBlanks(line).empty())
                continue;
            if (auto path = KeyHeader(line)) {
                doc.Keys.push_back(Key{*path, {}});
            } else if (TrimBlanks(line).front() == ';') {
                if (doc.Keys.empty())
                    doc.Preamble.push_back(line);
                else
                    doc.Keys.back().Entries.push_back(Entry{std::nullopt, line});
            } else if (doc.Keys.empty() || !TakeValue(doc.Keys.back())) {
                return std::nullopt;
            }
        }
        return doc;
    }

private:
    // The first line that is not blank must be the format's name; a file
    // with nothing but blanks is an empty registry.
    bool SkipHeader()
    {
        while (FAt < FLines.size() && TrimBlanks(FLines[FAt]).empty())
            ++FAt;
        if (FAt == FLines.size())
            return true;
        return TrimBlanks(FLines[FAt++]) == kHeader;
    }

    // A value, with the continuation lines of a value ending in a backslash.
    // A blank line ends the value all the same: the writer puts one after
    // every key, so taking it would make each rewrite grow the value.
    bool TakeValue(Key& Into)
    {
        std::string raw = FLines[FAt];
        while (!raw.empty() && raw.back() == '\\' && FAt + 1 < FLines.size() && !TrimBlanks(FLines[FAt + 1]).empty())
            raw += '\n' + FLines[++FAt];
        auto value = ParseValueLine(TrimBlanks(raw));
        // Only the hexadecimal kinds may continue on further lines.
        if (!value || (value->Kind != ValueKind::Other && raw.find('\n') != std::string::npos))
            return false;
        Into.Entries.push_back(Entry{std::move(value), std::move(raw)});
        return true;
    }

    std::vector<std::string> FLines;
    size_t FAt = 0;
};

std::string FormatValue(const Value& V)
{
    std::string line = V.Name.empty() ? "@" : Quote(V.Name);
    if (V.Kind == ValueKind::Number) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(V.Number));
        return line + "=dword:" + digits;
    }
    return line + "=" + Quote(V.Text);
}

} // namespace

bool SameName(std::string_view A, std::string_view B) { return SameTextNoCase(A, B); }

bool WithinLineLimit(std::string_view Content)
{
    // Counted before the lines are split, which is what costs the memory.
    return static_cast<size_t>(std::count(Content.begin(), Content.end(), '\n')) <= kMaxLines;
}

std::optional<Document> Parse(std::string_view Content)
{
    if (!WithinLineLimit(Content))
        return std::nullopt;
    return Parser(Content).Run();
}

std::string Serialize(const Document& Doc)
{
    std::string out = std::string(kHeader) + "\n\n";
    for (const std::string& line : Doc.Preamble)
        AppendLine(out, line, "\n");
    if (!Doc.Preamble.empty())
        out += "\n";
    for (const Key& key : Doc.Keys) {
        AppendLine(out, "[" + key.Path + "]", "\n");
        for (const Entry& entry : key.Entries) {
            AppendLine(out, entry.Raw.empty() ? FormatValue(*entry.Parsed) : entry.Raw, "\n");
            // A value that ended at a blank line although its last line ends
            // in a backslash keeps that blank line, or it would take the next.
            if (!entry.Raw.empty() && entry.Raw.back() == '\\')
                out += "\n";
        }
        out += "\n";
    }
    return out;
}

Key* FindKey(Document& Doc, std::string_view Path)
{
    for (Key& key : Doc.Keys)
        if (SameName(key.Path, Path))
            return &key;
    return nullptr;
}

const Key* FindKey(const Document& Doc, std::string_view Path) { return FindKey(const_cast<Document&>(Doc), Path); }

const Value* FindValue(const Key& InKey, std::string_view Name)
{
    for (const Entry& entry : InKey.Entries)
        if (entry.Parsed && SameName(entry.Parsed->Name, Name))
            return &*entry.Parsed;
    return nullptr;
}

bool KeyExists(const Document& Doc, std::string_view Path)
{
    for (const Key& key : Doc.Keys) {
        const std::string_view path = key.Path;
        if (SameName(path, Path))
            return true;
        if (path.size() > Path.size() && path[Path.size()] == '\\' && SameName(path.substr(0, Path.size()), Path))
            return true;
    }
    return false;
}

Key& AddKey(Document& Doc, const std::string& Path)
{
    Doc.Keys.push_back(Key{Path, {}});
    return Doc.Keys.back();
}

void SetValue(Key& InKey, const Value& NewValue)
{
    size_t afterLastValue = 0;
    for (size_t i = 0; i < InKey.Entries.size(); ++i) {
        Entry& entry = InKey.Entries[i];
        if (!entry.Parsed)
            continue;
        afterLastValue = i + 1;
        if (SameName(entry.Parsed->Name, NewValue.Name)) {
            const std::string storedName = entry.Parsed->Name;
            entry.Parsed = NewValue;
            entry.Parsed->Name = storedName;
            entry.Raw.clear();
            return;
        }
    }
    const auto at = InKey.Entries.begin() + static_cast<std::ptrdiff_t>(afterLastValue);
    InKey.Entries.insert(at, Entry{NewValue, {}});
}

bool StorableText(std::string_view Text)
{
    return Text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

} // namespace regfile
