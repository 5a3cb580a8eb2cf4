// The REGEDIT4 reader and writer: whatever the reader takes, writing it and
// reading it again keeps every key, value and comment, and a second write
// gives the same bytes as the first. A value set into the document is found
// again after a write and a read.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "RegistryFile.h"

namespace {

bool SameValue(const regfile::Value& A, const regfile::Value& B)
{
    return A.Name == B.Name && A.Kind == B.Kind && A.Text == B.Text && A.Number == B.Number;
}

// Keys in order, with their values and comments in order.
void CheckSameDocument(const regfile::Document& A, const regfile::Document& B)
{
    FUZZ_CHECK(A.Preamble == B.Preamble);
    FUZZ_CHECK(A.Keys.size() == B.Keys.size());
    for (size_t k = 0; k < A.Keys.size(); ++k) {
        const regfile::Key& a = A.Keys[k];
        const regfile::Key& b = B.Keys[k];
        FUZZ_CHECK(a.Path == b.Path);
        FUZZ_CHECK(a.Entries.size() == b.Entries.size());
        for (size_t e = 0; e < a.Entries.size(); ++e) {
            const regfile::Entry& x = a.Entries[e];
            const regfile::Entry& y = b.Entries[e];
            FUZZ_CHECK(x.Parsed.has_value() == y.Parsed.has_value());
            if (x.Parsed)
                FUZZ_CHECK(SameValue(*x.Parsed, *y.Parsed));
            else
                FUZZ_CHECK(x.Raw == y.Raw);
        }
    }
}

// A value named and filled from the input's first bytes, set into the first key.
void CheckSetValueSurvives(regfile::Document Doc, std::string_view Input)
{
    if (Doc.Keys.empty() || Input.size() < 2)
        return;
    const size_t nameLength = static_cast<uint8_t>(Input[0]) % Input.size();
    regfile::Value value;
    value.Name = std::string(Input.substr(1, nameLength));
    value.Text = std::string(Input.substr(1 + nameLength));
    if (!regfile::StorableText(value.Name) || !regfile::StorableText(value.Text))
        return;
    regfile::SetValue(Doc.Keys.front(), value);
    const auto again = regfile::Parse(regfile::Serialize(Doc));
    FUZZ_CHECK(again.has_value());
    const regfile::Key* key = regfile::FindKey(*again, Doc.Keys.front().Path);
    FUZZ_CHECK(key != nullptr);
    const regfile::Value* found = regfile::FindValue(*key, value.Name);
    FUZZ_CHECK(found != nullptr);
    FUZZ_CHECK(found->Kind == regfile::ValueKind::Text && found->Text == value.Text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string_view input(reinterpret_cast<const char*>(Data), Size);
    const auto first = regfile::Parse(input);
    if (!first)
        return 0;
    const std::string written = regfile::Serialize(*first);
    const auto second = regfile::Parse(written);
    FUZZ_CHECK(second.has_value());
    CheckSameDocument(*first, *second);
    FUZZ_CHECK(regfile::Serialize(*second) == written);
    CheckSetValueSurvives(*first, input);
    return 0;
}
