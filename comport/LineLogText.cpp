// The text form of line records: fixed columns, so that two logs line up
// and diff shows what differs.
#include <velt/comport/LineLogText.h>

#include <array>
#include <cinttypes>
#include <cstdio>
#include <ctime>

#include <velt/comport/LineLog.h>

namespace {

// Characters of the bytes 0x80 to 0xFF in Windows-1250; 0 marks a byte shown
// by its code: the five the code page leaves out, and the no-break space and
// soft hyphen, which would look like nothing in a log.
constexpr std::array<char16_t, 128> kUpperHalf = {
    0x20AC, 0,      0x201A, 0,      0x201E, 0x2026, 0x2020, 0x2021, // 80
    0,      0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179, // 88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0,      0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, // 98
    0,      0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, // A0
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0,      0x00AE, 0x017B, // A8
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // B0
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, // B8
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, // C0
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, // C8
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, // D0
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, // D8
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, // E0
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, // E8
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, // F0
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9, // F8
};

constexpr std::array<const char*, 32> kControlNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",  "VT",  "FF", "CR", "SO", "SI",
    "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS", "GS", "RS", "US"};

void AppendUtf8(std::string& Out, char16_t Code)
{
    if (Code < 0x80) {
        Out.push_back(static_cast<char>(Code));
    } else if (Code < 0x800) {
        Out.push_back(static_cast<char>(0xC0 | (Code >> 6)));
        Out.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
    } else {
        Out.push_back(static_cast<char>(0xE0 | (Code >> 12)));
        Out.push_back(static_cast<char>(0x80 | ((Code >> 6) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | (Code & 0x3F)));
    }
}

std::string Hex(const std::string& Bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(Bytes.size() * 3);
    for (char c : Bytes) {
        const auto byte = static_cast<uint8_t>(c);
        if (!hex.empty())
            hex.push_back(' ');
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

// Local time minus UTC now, in seconds, from the two broken-down times (the
// standard library has no call that gives it directly).
int64_t LocalOffsetSeconds()
{
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (local == nullptr)
        return 0;
    const std::tm localTime = *local;
    const std::tm* utc = std::gmtime(&now);
    if (utc == nullptr)
        return 0;
    int days = localTime.tm_yday - utc->tm_yday;
    if (days > 1)
        days = -1; // local time is still in the old year
    else if (days < -1)
        days = 1;
    return int64_t{days} * 86400 + (localTime.tm_hour - utc->tm_hour) * 3600 + (localTime.tm_min - utc->tm_min) * 60 +
           (localTime.tm_sec - utc->tm_sec);
}

int64_t LocalMinusMonotonicNow()
{
    const auto wall = std::chrono::system_clock::now().time_since_epoch();
    const int64_t wallMicros = std::chrono::duration_cast<std::chrono::microseconds>(wall).count();
    return wallMicros + LocalOffsetSeconds() * 1000000 - TLineLog::NowMicros();
}

std::string Describe(const TLineRecord& Record)
{
    switch (Record.Kind) {
    case lrWritten:
    case lrRead:
        return std::to_string(Record.Bytes.size()) + " | " + Hex(Record.Bytes) + " | " + LineBytesAsText(Record.Bytes);
    case lrCancelled:
        return Record.Detail + ", " + std::to_string(Record.Count) + " bytes moved";
    case lrFailed:
        return Record.Detail + ", error " + std::to_string(Record.Count);
    case lrDropped:
        return std::to_string(Record.Count) + " records dropped: the log was full";
    case lrHangUp:
        return "the device went away";
    default:
        return Record.Detail;
    }
}

const char* KindWord(TLineRecordKind Kind)
{
    static constexpr std::array<const char*, 12> kWords = {"open",  "settings", "openerr", "close",  "tx",   "rx",
                                                           "event", "error",    "hangup",  "cancel", "fail", "dropped"};
    return Kind < kWords.size() ? kWords[Kind] : "?";
}

} // namespace

std::string LineBytesAsText(const std::string& Bytes)
{
    std::string text;
    text.reserve(Bytes.size());
    for (char c : Bytes) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x20) {
            text += '<';
            text += kControlNames[byte];
            text += '>';
        } else if (byte == 0x7F) {
            text += "<DEL>";
        } else if (byte < 0x80) {
            text.push_back(c);
        } else if (const char16_t character = kUpperHalf[byte - 0x80]; character != 0) {
            AppendUtf8(text, character);
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "<x%02X>", byte);
            text += code;
        }
    }
    return text;
}

TLineLogText::TLineLogText() : FLocalMinusMonotonic(LocalMinusMonotonicNow()) {}

TLineLogText::TLineLogText(int64_t LocalMinusMonotonic) : FLocalMinusMonotonic(LocalMinusMonotonic) {}

std::string TLineLogText::Line(const TLineRecord& Record)
{
    constexpr int64_t kDay = int64_t{86400} * 1000000;
    const int64_t local = ((Record.Micros + FLocalMinusMonotonic) % kDay + kDay) % kDay;
    const int64_t gap = FPreviousMicros < 0 ? 0 : Record.Micros - FPreviousMicros;
    FPreviousMicros = Record.Micros;
    const int64_t seconds = local / 1000000;
    char head[96];
    std::snprintf(head, sizeof head, "%02d:%02d:%02d.%06d %s%" PRId64 ".%06d t%-2u %-8s",
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60),
                  static_cast<int>(local % 1000000), gap < 0 ? "-" : "+", (gap < 0 ? -gap : gap) / 1000000,
                  static_cast<int>((gap < 0 ? -gap : gap) % 1000000), Record.Thread, KindWord(Record.Kind));
    std::string line = head;
    const std::string described = Describe(Record);
    if (described.empty())
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
    else
        line += described;
    line += '\n';
    return line;
}
