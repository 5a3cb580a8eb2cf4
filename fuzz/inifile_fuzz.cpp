// The ini reader and writer on any file: reads never fail on a readable file
// except for a value that a write would refuse; a value written is read
// back as written (without its surrounding blanks), and every other value of
// the section keeps what it read before.
//
// Input: a section name and a value name (each a length byte and its
// bytes), a value (a length byte and its bytes), then the file.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include <velt/comport/framework/IniFile.h>
#include "TextLines.h"

namespace {

std::filesystem::path gFile;

std::string TakeField(std::string_view& Input)
{
    if (Input.empty())
        return {};
    const size_t length = std::min<size_t>(static_cast<uint8_t>(Input[0]) % 16, Input.size() - 1);
    std::string field(Input.substr(1, length));
    Input.remove_prefix(1 + length);
    return field;
}

std::optional<std::string> TryRead(const TIniFile& Ini, const std::string& Section, const std::string& Name)
{
    try {
        return Ini.ReadString(Section, Name, "\x01missing");
    } catch (const EIniFileException&) {
        return std::nullopt;
    }
}

// The "name=value" lines' names of the file, to read each before and after.
std::vector<std::string> NamesIn(std::string_view Content)
{
    std::vector<std::string> names;
    for (const std::string& line : SplitLines(Content)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos && names.size() < 8)
            names.emplace_back(line.substr(0, equals));
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    gFile = UsePrivateConfigHome() / "fuzz.ini";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    std::string_view input(reinterpret_cast<const char*>(Data), Size);
    const std::string section = TakeField(input);
    const std::string name = TakeField(input);
    const std::string value = TakeField(input);
    WriteBytes(gFile, std::string(input));

    TIniFile ini(gFile.string());
    const std::vector<std::string> others = NamesIn(input);
    std::vector<std::optional<std::string>> before;
    for (const std::string& other : others)
        before.push_back(TryRead(ini, section, other));
    try {
        ini.WriteString(section, name, value);
    } catch (const EIniFileException&) {
        return 0; // a name or value that one line cannot hold
    }
    FUZZ_CHECK(TryRead(ini, section, name) == std::string(TrimBlanks(value)));
    for (size_t i = 0; i < others.size(); ++i)
        if (!SameTextNoCase(TrimBlanks(others[i]), TrimBlanks(name)))
            FUZZ_CHECK(TryRead(ini, section, others[i]) == before[i]);
    return 0;
}
