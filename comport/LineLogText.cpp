// The text form of line records: fixed columns, so that two logs line up
// and diff shows what differs.
#include <velt/comport/LineLogText.h>

#include <array>
#include <cinttypes>
#include <cstdio>
#include <ctime>

#include <velt/comport/LineLog.h>
#include <velt/comport/Windows1250.h>

namespace {

// Bytes shown by their code: the five the code page leaves out, and the
// no-break space and soft hyphen, which would look like nothing in a log.
bool ShownByCode(uint8_t Byte, char16_t Character) { return Character == Byte || Byte == 0xA0 || Byte == 0xAD; }

constexpr std::array<const char*, 32> kControlNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",  "VT",  "FF", "CR", "SO", "SI",
    "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS", "GS", "RS", "US"};

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
        } else if (const char16_t character = windows1250::Decode(std::string_view(&c, 1)).front();
                   !ShownByCode(byte, character)) {
            text += Utf16ToUtf8(std::u16string_view(&character, 1));
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
