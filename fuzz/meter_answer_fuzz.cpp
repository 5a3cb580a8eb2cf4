// The meter's answers as they may come off a line: arbitrary bytes in
// bursts with pauses between them. The session must frame them by one
// second of silence exactly, keep no more than its bound, and every answer
// must decode to valid UTF-8 and a well-formed RTF document; the clock
// handshake must read any burst as a number and never send more than 24 bytes.
//
// Input: records of one control byte and a burst. The control byte's low six
// bits give the burst's length, its two high bits the pause after it (0, 60,
// 999 or 1000 ms).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

#include <velt/comport/ComPort.h>

#include "AnswerText.h"
#include "ClockHandshake.h"
#include "DeadlineTimers.h"
#include "FuzzSupport.h"
#include "support/FakeClock.h"
#include "MeterSession.h"
#include "RtfDocument.h"
#include <velt/comport/Windows1250.h>

namespace {

// Small, so that short inputs reach it.
constexpr size_t kFuzzAnswerBound = 200;

bool IsValidUtf8(const std::string& Text)
{
    for (size_t i = 0; i < Text.size();) {
        const auto lead = static_cast<uint8_t>(Text[i]);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        if (length == 0 || i + length > Text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<uint8_t>(Text[i + k]) >> 6) != 0x2)
                return false;
        i += length;
    }
    return true;
}

void CheckDecoding(const std::string& Answer)
{
    const std::u16string text = AnswerText(Answer);
    FUZZ_CHECK(text.find(u'\0') == std::u16string::npos);
    FUZZ_CHECK(text.find(u'\r') == std::u16string::npos);
    const std::string utf8 = Utf16ToUtf8(text);
    FUZZ_CHECK(IsValidUtf8(utf8));
    const std::string rtf = RtfDocument(text);
    FUZZ_CHECK(rtf.rfind("{\\rtf1\\ansi\\ansicpg1250", 0) == 0);
    FUZZ_CHECK(rtf.size() >= 3 && rtf.compare(rtf.size() - 3, 3, "}\r\n") == 0);
    for (char c : rtf)
        FUZZ_CHECK(static_cast<uint8_t>(c) < 0x80); // everything else is escaped
}

// Remembers the answers the session shows.
class AnswerView : public MeterView {
public:
    std::string Shown;
    int Answers = 0;

    void ClearText() override {}
    void SetCommandsEnabled(bool) override {}
    void ShowTransfer() override {}
    void StepProgress(int) override {}
    void EndTransfer() override {}
    void ShowAnswer(const std::string& Bytes) override
    {
        Shown = Bytes;
        ++Answers;
    }
    void ReportOpenFailed(const PortOpenFailure&) override {}
    void ReportNoAnswer() override {}
    void ReportClockSet() override {}
    void ReportClockFailed() override {}
};

std::chrono::milliseconds PauseOf(uint8_t Control)
{
    constexpr int kPauses[] = {0, 60, 999, 1000};
    return std::chrono::milliseconds(kPauses[Control >> 6]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    static TComPort port(nullptr); // never opened: receiving needs no line
    FakeClock clock;
    DeadlineTimers timers(clock);
    AnswerView view;
    MeterSession session(
        port, timers.Timers(), view, [] { return CalendarTime{}; }, kFuzzAnswerBound);
    ClockHandshake handshake;
    handshake.Begin();
    bool handshakeOver = false;

    // The framing expected: bursts join until a pause reaches one second.
    std::string pending;
    std::chrono::milliseconds silence{0};
    int answersExpected = 0;
    size_t at = 0;
    while (at < Size) {
        const uint8_t control = Data[at++];
        const size_t length = std::min<size_t>(control & 0x3F, Size - at);
        const std::string burst(reinterpret_cast<const char*>(Data + at), length);
        at += length;
        if (!burst.empty()) {
            session.Receive(burst);
            pending += burst;
            silence = std::chrono::milliseconds(0);
            if (!handshakeOver) {
                handshake.TakeAnswer(burst);
                const ClockHandshake::Step step =
                    handshake.Advance([] { return CalendarTime{2026, 12, 31, 23, 59, 59}; });
                handshakeOver = step.What != ClockHandshake::Outcome::Send;
                FUZZ_CHECK(handshake.BytesSent() <= 24);
            }
        }
        clock.Advance(PauseOf(control));
        silence += PauseOf(control);
        timers.FireExpired(session);
        if (!pending.empty() && silence >= std::chrono::milliseconds(kIdleIntervalMs)) {
            ++answersExpected;
            FUZZ_CHECK(view.Answers == answersExpected);
            FUZZ_CHECK(view.Shown == pending.substr(0, kFuzzAnswerBound));
            CheckDecoding(view.Shown);
            pending.clear();
        }
    }
    FUZZ_CHECK(view.Answers == answersExpected);
    return 0;
}
