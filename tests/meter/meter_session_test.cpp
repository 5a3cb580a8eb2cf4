// The meter session on a fake clock: the test moves time on in milliseconds
// and hands the session the meter's answers; the bytes the session sends
// reach a real pseudo-terminal, whose other end the test reads.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include <velt/comport/ComPort.h>
#include "DeadlineTimers.h"
#include "MeterSession.h"
#include <velt/comport/PortDetails.h>
#include "support/FakeClock.h"
#include "support/ListedPorts.h"
#include "support/PseudoTerminal.h"

using namespace std::chrono_literals;

namespace {

// Records what the session shows, one word per call.
class RecordingView : public MeterView {
public:
    std::vector<std::string> Calls;
    std::string Answer;

    void ClearText() override {}
    void SetCommandsEnabled(bool Enabled) override { Calls.push_back(Enabled ? "enabled" : "disabled"); }
    void ShowTransfer() override {}
    void StepProgress(int) override {}
    void EndTransfer() override { Calls.push_back("end"); }
    void ShowAnswer(const std::string& Bytes) override
    {
        Calls.push_back("answer");
        Answer = Bytes;
    }
    void ReportPortFollowed(const std::string& From, const std::string& To) override
    {
        Calls.push_back("followed " + From + " to " + To);
    }
    void ReportPortAmbiguous(const std::string& Stored) override { Calls.push_back("ambiguous " + Stored); }
    void ReportAdapterMissing(const MissingAdapter& Missing) override
    {
        Calls.push_back("missing " + Missing.Wanted + " | " + Missing.NowThere);
    }
    void ReportAdapterGone(const std::string& Port) override { Calls.push_back("gone " + Port); }
    void ReportOpenFailed(const PortOpenFailure&) override { Calls.push_back("open failed"); }
    void ReportNoAnswer() override { Calls.push_back("no answer"); }
    void ReportClockSet() override { Calls.push_back("clock set"); }
    void ReportClockFailed() override { Calls.push_back("clock failed"); }
};

class MeterSessionTest : public ::testing::Test {
protected:
    MeterSessionTest() : FTimers(FClock), FSession(FPort, FTimers.Timers(), FView, [this] { return FMoment; })
    {
        FPort.SetPort(FPty.SlavePath());
        FPort.SetEvents({}); // the test hands the answers over itself
    }

    // Moves the clock on and runs the timers that are due.
    void Wait(std::chrono::milliseconds Time)
    {
        FClock.Advance(Time);
        FTimers.FireExpired(FSession);
    }

    // The next byte on the line ("" when none comes).
    std::string NextByte() { return FPty.ReadFromPort(1, 2s); }
    bool NothingSent() { return FPty.ReadFromPort(1, 20ms).empty(); }

    // Starts the handshake and plays the meter: each byte sent is answered
    // with Answer(byte) after 5 ms (nothing for ""), then the session's
    // 60 ms pause runs out. Returns every byte sent.
    template <typename Answerer>
    std::string RunHandshake(Answerer Answer)
    {
        std::string all;
        FSession.StartClockSetting();
        while (FView.Calls.back() == "disabled" && all.size() < 30) {
            const std::string byte = NextByte();
            all += byte;
            Wait(5ms);
            if (const std::string reply = byte.empty() ? "" : Answer(uint8_t(byte[0])); !reply.empty())
                FSession.Receive(reply);
            Wait(60ms);
        }
        return all;
    }

    PseudoTerminal FPty;
    TComPort FPort{nullptr};
    FakeClock FClock;
    DeadlineTimers FTimers;
    RecordingView FView;
    CalendarTime FMoment{2026, 3, 7, 14, 5, 9};
    MeterSession FSession;
};

// The meter's side: the code back after a code, the value after a value
// byte, 100 after the resynchronisation byte.
std::string Echo(uint8_t Byte)
{
    const int number = Byte >= 91 && Byte <= 96 ? Byte : Byte - 100;
    return std::to_string(number == 0 && Byte == 100 ? 100 : number) + "\r\n";
}

} // namespace

TEST_F(MeterSessionTest, CleanHandshakeSendsTwelveBytesPacedBySixtyMilliseconds)
{
    FSession.StartClockSetting();
    EXPECT_EQ(NextByte(), "[");
    Wait(30ms);
    FSession.Receive("91\r\n");
    Wait(59ms);
    EXPECT_TRUE(NothingSent()); // the pause counts from the answer
    Wait(1ms);
    EXPECT_EQ(NextByte(), std::string(1, char(107))); // day 7

    FView.Calls.clear();
    const std::string sent = RunHandshake(Echo);
    // Day 7, month 3, year 2026 as 126, second 9, minute 5, hour 14.
    EXPECT_EQ(sent, std::string("[") + char(107) + "\\" + char(103) + "]" + char(126) + "^" + char(109) + "_" +
                        char(105) + "`" + char(114));
    EXPECT_EQ(FView.Calls, (std::vector<std::string>{"disabled", "end", "clock set"}));
}

TEST_F(MeterSessionTest, WrongAnswerBringsResyncAndTheSameFieldAgain)
{
    // A wrong answer to the month's code, then one to the month's value:
    // each time "d", and after its confirmation the month's code again.
    int answered = 0;
    const std::string sent = RunHandshake([&](uint8_t Byte) {
        ++answered;
        if (answered == 3 || answered == 6)
            return std::string("55\r\n");
        return Echo(Byte);
    });
    EXPECT_EQ(sent.substr(0, 10), std::string("[k\\d\\") + char(103) + "d\\" + char(103) + "]");
    EXPECT_EQ(sent.size(), 17u);
    EXPECT_EQ(FView.Calls.back(), "clock set");
}

TEST_F(MeterSessionTest, AnswersAreReadLeniently)
{
    // Value 0 (hour, minute, second, year 2000) answered "0", with no digits
    // at all, or with blanks and a sign; codes answered in hexadecimal.
    FMoment = {2000, 1, 1, 0, 0, 0};
    const std::vector<std::string> answers = {"  91 ", "$1", "0x5C", "1\r\n", "+93", "x",
                                              "94abc", "-0", "0X5f", "\r\n",  "96",  "0"};
    size_t next = 0;
    const std::string sent = RunHandshake([&](uint8_t) { return answers.at(next++); });
    EXPECT_EQ(sent.size(), 12u);
    EXPECT_EQ(FView.Calls.back(), "clock set");
}

TEST_F(MeterSessionTest, NumberSplitOverTwoBurstsCountsOnlyTheLastPart)
{
    FSession.StartClockSetting();
    NextByte();
    FSession.Receive("9");
    Wait(30ms);
    FSession.Receive("1\r\n");
    Wait(60ms);
    EXPECT_EQ(NextByte(), "d");
}

TEST_F(MeterSessionTest, SilentMeterFailsTheHandshakeAfter24BytesAndAbout1400Ms)
{
    FSession.StartClockSetting();
    std::string sent = NextByte();
    int waited = 0;
    while (FView.Calls.back() != "end" && waited < 5000) {
        Wait(60ms);
        waited += 60;
        if (FView.Calls.back() != "end")
            sent += NextByte();
    }
    EXPECT_EQ(sent, "[" + std::string(23, 'd'));
    EXPECT_EQ(waited, 24 * 60);
    EXPECT_TRUE(NothingSent());
    EXPECT_EQ(FView.Calls, (std::vector<std::string>{"disabled", "clock failed", "end"}));
}

TEST_F(MeterSessionTest, AnswerIsFramedByOneSecondOfSilence)
{
    FSession.StartRead("V");
    EXPECT_EQ(NextByte(), "V");
    Wait(900ms);
    FSession.Receive("Pomiar nr 1\r\n");
    Wait(999ms);
    FSession.Receive("Pomiar nr 2\r\n"); // 999 ms of silence: the same answer
    Wait(999ms);
    EXPECT_TRUE(FView.Answer.empty());
    Wait(1ms);
    EXPECT_EQ(FView.Answer, "Pomiar nr 1\r\nPomiar nr 2\r\n");
    EXPECT_EQ(FView.Calls, (std::vector<std::string>{"disabled", "end", "answer"}));

    FSession.Receive("Sam z siebie"); // the meter sending on its own is collected all the same
    Wait(1000ms);
    EXPECT_EQ(FView.Answer, "Sam z siebie");
}

TEST_F(MeterSessionTest, WatchdogReportsAMeterThatDoesNotAnswer)
{
    FSession.StartRead("T");
    Wait(999ms);
    EXPECT_EQ(FView.Calls, std::vector<std::string>{"disabled"});
    Wait(1ms);
    EXPECT_EQ(FView.Calls, (std::vector<std::string>{"disabled", "no answer", "enabled"}));
}

TEST_F(MeterSessionTest, AnswerStopsGrowingAt16MiB)
{
    FSession.StartRead("V");
    const std::string burst(1024 * 1024, 'x');
    for (int i = 0; i < 17; ++i)
        FSession.Receive(burst);
    FSession.Receive("tail");
    Wait(1000ms);
    EXPECT_EQ(FView.Answer.size(), kMaxAnswerSize);
}

// The adapter comes back under another name: the read goes there, says so
// once, and remembers where the adapter is now. Two that could be it: the
// operator chooses, nothing is written.
TEST_F(MeterSessionTest, ReadFollowsTheAdapterAndGuessesNothing)
{
    FPort.SetPort("ttyUSB7");
    FPort.SetAdapterIdentity(PortIdentity(UsbAdapter("ttyUSB7", "A1", "1-1")));
    UsePorts({UsbAdapter("/dev/ttyUSB9", "B2", "1-1"), UsbAdapter(FPty.SlavePath(), "A1", "1-3")});
    FSession.StartRead("T");
    EXPECT_EQ(NextByte(), "T");
    EXPECT_EQ(FView.Calls.front(), "followed ttyUSB7 to " + FPty.SlavePath());
    EXPECT_EQ(FPort.AdapterIdentity(), "usb:0403:6001:at:1-3:sn:A1");
    Wait(1000ms);

    FPort.Close();
    FPort.SetPort("ttyUSB7");
    FPort.SetAdapterIdentity(PortIdentity(UsbAdapter("ttyUSB7", "", "1-1")));
    UsePorts({UsbAdapter(FPty.SlavePath(), "", "1-3"), UsbAdapter("/dev/ttyUSB9", "", "1-4")});
    FView.Calls.clear();
    FSession.StartRead("T");
    SetPortDetailsSource({});
    EXPECT_EQ(FView.Calls, std::vector<std::string>{"ambiguous ttyUSB7"});
    EXPECT_FALSE(FPort.Connected());
    EXPECT_TRUE(NothingSent());
}

// The stored adapter is not there: whatever holds its name now (another
// adapter, a built-in UART, nothing the system lists), not a byte reaches
// it, for a read or the clock, and the stored identity stays the meter's.
TEST_F(MeterSessionTest, MissingAdapterIsNeverReplacedByWhatHoldsItsName)
{
    const std::string meterAdapter = PortIdentity(UsbAdapter(FPty.SlavePath(), "A1", "1-1"));
    TPortDetails uart;
    uart.Name = uart.DevicePath = FPty.SlavePath();
    uart.Kind = pkBuiltInUart;
    const std::vector<std::pair<std::vector<TPortDetails>, std::string>> holders = {
        {{UsbAdapter(FPty.SlavePath(), "B2", "1-1")}, DescribePort(UsbAdapter(FPty.SlavePath(), "B2", "1-1"))},
        {{uart}, FPty.SlavePath() + " \u2013 wbudowany port szeregowy"},
        {{}, ""}};
    for (const auto& [listed, described] : holders) {
        FPort.SetAdapterIdentity(meterAdapter);
        UsePorts(listed);
        FView.Calls.clear();
        FSession.StartRead("T");
        FSession.StartClockSetting();
        EXPECT_EQ(FView.Calls.front(), "missing adapter USB 0403:6001, nr A1 | " + described);
        EXPECT_FALSE(FPort.Connected());
        EXPECT_TRUE(NothingSent()) << described;
        EXPECT_EQ(FPort.AdapterIdentity(), meterAdapter);
    }
    SetPortDetailsSource({});
}

// The line hangs up half-way through an answer: what came is still shown,
// the port is closed at once after, and the next read opens the adapter
// again where it came back.
TEST_F(MeterSessionTest, HangUpClosesThePortAndTheNextReadOpensItAgain)
{
    PseudoTerminal replugged;
    FPort.SetPort(FPty.SlavePath());
    FSession.StartRead("V");
    EXPECT_EQ(NextByte(), "V");
    FSession.Receive("Pomiar nr 1");
    FPty.CloseMaster();
    EXPECT_TRUE(FSession.TakeLineErrors(TComErrors{ceIO}));
    EXPECT_FALSE(FSession.TakeLineErrors(TComErrors{ceFrame}));
    Wait(1000ms);
    EXPECT_FALSE(FPort.Connected());
    EXPECT_EQ(FView.Answer, "Pomiar nr 1");
    EXPECT_EQ(FView.Calls, (std::vector<std::string>{"disabled", "gone " + FPty.SlavePath(), "end", "answer"}));

    FPort.SetAdapterIdentity(PortIdentity(UsbAdapter(FPty.SlavePath(), "A1", "1-1")));
    UsePorts({UsbAdapter(replugged.SlavePath(), "A1", "1-1")});
    FSession.StartRead("T");
    SetPortDetailsSource({});
    EXPECT_EQ(replugged.ReadFromPort(1, 2s), "T");
    EXPECT_TRUE(FPort.Connected());
}
