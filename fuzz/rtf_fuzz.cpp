// The RTF writer on any text (UTF-16 units from the input, lone surrogates
// included): the document is well formed, holds only 7-bit bytes, and a
// reader gets the text back with every line break as one paragraph.
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "RtfReader.h"
#include "RtfDocument.h"

namespace {

// What a reader of the document shows: CR LF, CR, LF and the Unicode line
// and paragraph separators all end a paragraph.
QString AsRead(const QString& Text)
{
    QString read;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        const QChar c = Text.at(i);
        if (c == u'\r' && i + 1 < Text.size() && Text.at(i + 1) == u'\n')
            continue;
        const bool lineBreak = c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
        read += lineBreak ? QChar(u'\n') : c;
    }
    return read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    std::u16string units(Size / 2, u'\0');
    std::memcpy(units.data(), Data, units.size() * sizeof(char16_t));
    // Taken unit by unit: fromUtf16() would drop a leading byte-order mark.
    const QString text(reinterpret_cast<const QChar*>(units.data()), static_cast<qsizetype>(units.size()));
    const std::string rtf = RtfDocument(units);
    for (char c : rtf)
        FUZZ_CHECK(static_cast<uint8_t>(c) < 0x80);
    const rtftest::Parsed parsed = rtftest::ReadRtf(rtf);
    FUZZ_CHECK(parsed.Valid);
    FUZZ_CHECK(parsed.Text == AsRead(text));
    return 0;
}
