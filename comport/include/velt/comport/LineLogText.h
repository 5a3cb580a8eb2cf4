#pragma once
/// @file
/// The text form of a line log: one line per record, made to be read and to
/// be compared with diff.
#include <velt/comport/Export.h>
#include <cstdint>
#include <string>

#include <velt/comport/LineRecord.h>

/// Writes line records as text, one line each:
///
///     10:15:02.250000 +0.100000 t2 rx       12 | 57 79 6E 69 6B 3A 20 31 32 0D 0A | Wynik: 12<CR><LF>
///
/// time of day, the gap since the previous record in seconds, the thread,
/// the kind, and for bytes their count, hex and text (Windows-1250 shown as
/// UTF-8, control bytes by name, the bytes the code page leaves out by code).
class VELT_COMPORT_EXPORT TLineLogText {
public:
    /// Times of day in the computer's local time.
    TLineLogText();
    /// Times of day given by the monotonic time plus LocalMinusMonotonic
    /// microseconds (for output that must not depend on the clock).
    explicit TLineLogText(int64_t LocalMinusMonotonic);

    /// The line of Record, with its '\n'.
    std::string Line(const TLineRecord& Record);

private:
    int64_t FLocalMinusMonotonic;
    int64_t FPreviousMicros = -1;
};

/// The bytes as text: Windows-1250 as UTF-8, control bytes by name (`<CR>`,
/// `<LF>`, `<NUL>`, ...), the bytes the code page leaves out as `<x81>` and the like.
VELT_COMPORT_EXPORT std::string LineBytesAsText(const std::string& Bytes);
