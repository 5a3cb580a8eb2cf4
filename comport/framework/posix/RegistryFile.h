#pragma once
// The registry's text file: the REGEDIT4 export format of the Windows
// registry editor, read into a document and written back so that keys,
// values, comments and their order survive.
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software\Velt4\ComPort]
//   "Port"="COM1"
//   "CustomBaudRate"=dword:00002580
//
// Text values escape "\" and the quote with a backslash; numbers are eight
// hexadecimal digits of the 32-bit value. Value kinds this program does not
// write (hex:..., hex(N):..., with their continuation lines) are kept as read.
// The file holds bytes: texts are stored as they are given (ANSI, as REGEDIT4).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace regfile {

enum class ValueKind { Text, Number, Other };

struct Value {
    std::string Name; // "" is the key's default value, written "@"
    ValueKind Kind = ValueKind::Text;
    std::string Text;
    uint32_t Number = 0;
};

// One line (or, for a continued value, several) inside a key.
struct Entry {
    std::optional<Value> Parsed; // none for a comment
    std::string Raw;             // the text as read; empty once Parsed is changed
};

struct Key {
    std::string Path; // with its root word, as in the file
    std::vector<Entry> Entries;
};

struct Document {
    std::vector<std::string> Preamble; // comments before the first key
    std::vector<Key> Keys;
};

// The most lines a file may have. A parsed document takes a few hundred bytes
// a line, so a file of millions of tiny values would take hundreds of MB: it
// is refused like one that cannot be parsed. Settings take a few dozen lines.
constexpr size_t kMaxLines = 65536;
// Whether Content has no more line ends than kMaxLines.
bool WithinLineLimit(std::string_view Content);

// The document a file holds, or nothing when it is not a REGEDIT4 file this
// reader understands or has more than kMaxLines lines. An empty file is an
// empty document.
std::optional<Document> Parse(std::string_view Content);
std::string Serialize(const Document& Doc);

// Names compare without regard to (ASCII) letter case.
bool SameName(std::string_view A, std::string_view B);
Key* FindKey(Document& Doc, std::string_view Path);
const Key* FindKey(const Document& Doc, std::string_view Path);
const Value* FindValue(const Key& InKey, std::string_view Name);
// True when the key is in the file itself or as the parent of one that is.
bool KeyExists(const Document& Doc, std::string_view Path);
Key& AddKey(Document& Doc, const std::string& Path);
// Replaces the value of that name where it stands, or appends it after the
// key's last value.
void SetValue(Key& InKey, const Value& NewValue);

// Whether a text can be stored in one line of the file (no line ends, no
// zero byte, which a text value cannot hold).
bool StorableText(std::string_view Text);

} // namespace regfile
