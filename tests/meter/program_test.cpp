// The program model without a window: a recording window draws it, the port
// leads to a real pseudo-terminal whose other end the test plays, the timers
// run on a fake clock and fire when the test says, and settings and saved
// files are real files in a home of the test's own.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <thread>

#include <velt/comport/ComPort.h>
#include <velt/comport/PortDetails.h>
#include <velt/comport/framework/FileWrite.h>
#include <velt/comport/framework/MainThreadQueue.h>

#include "MeterProgram.h"
#include "LineSummary.h"
#include "MeterTexts.h"
#include "ReportQueue.h"
#include "support/FakeClock.h"
#include "support/ListedPorts.h"
#include "support/PseudoTerminal.h"
#include "support/TempConfigHome.h"

using namespace std::chrono_literals;

namespace {

class RecordingWindow : public ProgramWindow {
public:
    std::vector<ProgramState> Drawn;
    std::u16string Pane;
    int PaneWrites = 0;
    std::u16string Number = u"1";
    std::vector<ProgramBox> Boxes;
    std::filesystem::path SaveAs;
    std::string Rtf = "{\\rtf1 nowy}";
    int PortChoices = 0;
    bool PortChoiceConfirmed = false;

    void Draw(const ProgramState& State) override { Drawn.push_back(State); }
    std::u16string PaneText() const override { return Pane; }
    void SetPaneText(const std::u16string& Text) override
    {
        Pane = Text;
        ++PaneWrites;
    }
    std::u16string NumberText() const override { return Number; }
    void ShowBox(const ProgramBox& Box) override { Boxes.push_back(Box); }
    void CopyPane() override {}
    std::filesystem::path AskSaveFileName() override { return SaveAs; }
    std::string PaneRtf() const override { return Rtf; }
    bool ChoosePort() override
    {
        ++PortChoices;
        return PortChoiceConfirmed;
    }
    void ShowLineLog(const std::string& Text) override { LineLog = Text; }
    std::string LineLog;
};

class ProgramTest : public TempConfigHomeTest {
protected:
    void SetUp() override
    {
        TempConfigHomeTest::SetUp();
        MainThreadQueue::Instance().SetMainThread();
        ReportQueue::Install(&FReportQueue);
        NewProgram();
    }

    void TearDown() override
    {
        FProgram.reset();
        ReportQueue::Install(nullptr);
        TempConfigHomeTest::TearDown();
    }

    void NewProgram()
    {
        FProgram.reset();
        FProgram = std::make_unique<MeterProgram>(FWindow, FTimers.Timers(), [] { return CalendarTime{}; });
        FProgram->Start();
        FProgram->Port().SetPort(FPty.SlavePath());
    }

    // Serves the port's hand-overs to this thread until Done holds.
    static bool ServeUntil(const std::function<bool()>& Done)
    {
        return MainThreadQueue::Instance().ServeUntil(Done, std::chrono::steady_clock::now() + 10s);
    }

    const ProgramState& State() const { return FProgram->State(); }
    std::string Sent() { return FPty.ReadFromPort(1, 2s); }

    PseudoTerminal FPty;
    FakeClock FClock;
    DeadlineTimers FTimers{FClock};
    RecordingWindow FWindow;
    std::vector<std::string> FReports;
    ReportQueue FReportQueue{[this](const std::string& Text) { FReports.push_back(Text); }, {}};
    std::unique_ptr<MeterProgram> FProgram;
};

} // namespace

TEST_F(ProgramTest, MeasurementNumberIsOneWhenNotANumberAndStaysWithinTheField)
{
    const std::vector<std::pair<std::u16string, int>> cases = {
        {u"5", 5}, {u" 12 ", 12}, {u"28", 28}, {u"29", 28}, {u"99999999999", 28},
        {u"0", 1}, {u"-3", 1},    {u"abc", 1}, {u"5a", 1},  {u"", 1}};
    for (const auto& [text, number] : cases) {
        FWindow.Number = text;
        EXPECT_EQ(FProgram->MeasurementNumber(), number) << std::string(text.begin(), text.end());
    }
    FWindow.Number = u"28";
    FProgram->Run(ProgramCommand::MeasurementFromMemory);
    EXPECT_EQ(Sent(), "\x1C");
}

TEST(ProgramStateTest, ProgressStartsAgainRatherThanPassItsEnd)
{
    int position = 0;
    for (int step = 0; step < 400; ++step)
        position = SteppedProgress(position, 1);
    EXPECT_EQ(position, 400);
    EXPECT_EQ(SteppedProgress(position, 1), 1);
    position = 0;
    for (int step = 0; step < 12; ++step)
        position = SteppedProgress(position, 33);
    EXPECT_EQ(position, 396);
    EXPECT_EQ(SteppedProgress(position, 33), 33);
}

// One break per line; the pane takes the answer as zero-terminated text, so
// a NUL byte ends what is shown. The same answer again leaves the pane alone.
TEST_F(ProgramTest, AnswerIsShownUpToANulWithOneBreakPerLine)
{
    FProgram->Run(ProgramCommand::LastMeasurement);
    EXPECT_EQ(Sent(), "T");
    EXPECT_FALSE(State().CommandsEnabled);
    const char raw[] =
        "Pomiar nr 3:\r\n23,4 \xB0"
        "C\0 wilgotno\x9C\xE6\r\n";
    const std::string answer(raw, sizeof raw - 1);
    FPty.WriteToPort(answer);
    ASSERT_TRUE(ServeUntil([&] { return State().TransferShown && State().Progress > 0; }));
    FProgram->IdleTick();
    EXPECT_EQ(FWindow.Pane, u"Pomiar nr 3:\n23,4 °C");
    EXPECT_EQ(State(), ProgramState{});

    const int writes = FWindow.PaneWrites;
    FPty.WriteToPort(answer); // the meter sending on its own
    ASSERT_TRUE(ServeUntil([&] { return State().TransferShown; }));
    FProgram->IdleTick();
    EXPECT_EQ(FWindow.PaneWrites, writes);
    EXPECT_TRUE(FWindow.Boxes.empty());
}

// A command that ends in the meter error: the status line says what the line
// log shows, and the log window gets the log from the program's start.
TEST_F(ProgramTest, StatusSaysWhatTheLineLogShowsOfAFailedCommand)
{
    FProgram->Run(ProgramCommand::LastMeasurement);
    EXPECT_EQ(Sent(), "T");
    FProgram->WatchdogTick();
    EXPECT_EQ(State().Status, "Wysłano 1 bajt, nie nadeszła odpowiedź w ciągu 1 s");
    FProgram->ShowLineLog();
    EXPECT_NE(FWindow.LineLog.find(" open    " + FPty.SlavePath() + " 9600 8N1"), std::string::npos) << FWindow.LineLog;
    EXPECT_NE(FWindow.LineLog.find(" tx      1 | 54 | T\n"), std::string::npos) << FWindow.LineLog;
    FProgram->SaveLineLog(FHome / "dziennik.txt", FWindow.LineLog);
    EXPECT_EQ(ReadFile(FHome / "dziennik.txt"), FWindow.LineLog);

    FProgram->Run(ProgramCommand::LastMeasurement); // a command that succeeds clears it
    EXPECT_EQ(State().Status, "");
}

TEST(LineSummaryTest, TheLastRequestDecidesTheSentence)
{
    const auto written = [](int64_t At, std::string Bytes) {
        return TLineRecord{At, lrWritten, 1, std::move(Bytes), {}, 0};
    };
    const auto read = [](int64_t At, std::string Bytes) { return TLineRecord{At, lrRead, 2, std::move(Bytes), {}, 0}; };
    EXPECT_EQ(FailedExchangeSentence({written(0, "T")}, 2000), "Wysłano 1 bajt, nie nadeszła odpowiedź w ciągu 2 s");
    EXPECT_EQ(FailedExchangeSentence({written(0, "T"), read(1, "12345678901"), read(2, "2")}, 1000),
              "Nadeszło 12 bajtów, potem cisza");
    EXPECT_EQ(FailedExchangeSentence({written(0, "\x05"), read(1, "123"), written(2, "ab")}, 60),
              "Wysłano 2 bajty, nie nadeszła odpowiedź w ciągu 60 ms");
    EXPECT_EQ(FailedExchangeSentence({written(0, "a"), read(1, "9"), read(1, "3")}, 5),
              "Nadeszły 2 bajty, potem cisza");
    EXPECT_EQ(FailedExchangeSentence({written(0, "T"), {1, lrLineError, 2, {}, "frame overrun", 0}}, 5),
              "Linia zgłosiła błąd: błąd ramki, przepełnienie odbiornika");
    EXPECT_EQ(FailedExchangeSentence({written(0, "T"), {1, lrHangUp, 0, {}, {}, 0}}, 5),
              ""); // the adapter's own status line
}

// A port that does not open: the written box, the failed write through the
// report, and a second later the watchdog's box and line with the commands
// back. The clock command stops at the open failure.
TEST_F(ProgramTest, PortThatDoesNotOpenIsReportedAndTheCommandsComeBack)
{
    FProgram->Port().SetPort((FHome / "no-such-port").string());
    FProgram->Run(ProgramCommand::LastMeasurement);
    ASSERT_EQ(FWindow.Boxes.size(), 1u);
    EXPECT_EQ(FWindow.Boxes[0].Text, meter_text::kOpenFailed);
    EXPECT_EQ(FWindow.Boxes[0].Caption, "Błąd");
    EXPECT_EQ(FWindow.Boxes[0].Kind, BoxKind::Error);
    EXPECT_EQ(FReports.size(), 1u); // the write's failure
    EXPECT_FALSE(State().CommandsEnabled);
    FProgram->WatchdogTick();
    ASSERT_EQ(FWindow.Boxes.size(), 2u);
    EXPECT_EQ(FWindow.Boxes[1].Text, "Wystąpił błąd komunikacji z miernikiem!");
    EXPECT_EQ(FWindow.Pane, u"Błąd komunikacji z miernikiem!");
    EXPECT_TRUE(State().CommandsEnabled);

    FWindow.Boxes.clear();
    FProgram->Run(ProgramCommand::SetClock);
    ASSERT_EQ(FWindow.Boxes.size(), 1u);
    EXPECT_EQ(FWindow.Boxes[0].Text, meter_text::kOpenFailed);
    EXPECT_TRUE(State().CommandsEnabled);
    EXPECT_FALSE(FTimers.Timers().Handshake.IsActive());
}

// The adapter pulled out while idle: the status says so, no box, the pane
// kept; the next command opens it where it came back and says once where
// that is. Two that could be it: the status says so, the operator chooses,
// nothing is sent.
TEST_F(ProgramTest, StatusTellsOfTheAdapterGoneFollowedOrNotToldApart)
{
    FProgram->Run(ProgramCommand::LastMeasurement);
    EXPECT_EQ(Sent(), "T");
    FPty.WriteToPort("Pomiar nr 1");
    ASSERT_TRUE(ServeUntil([&] { return State().TransferShown; }));
    FProgram->IdleTick();
    FPty.CloseMaster();
    ASSERT_TRUE(ServeUntil([&] { return !State().Status.empty(); }));
    EXPECT_EQ(State().Status, meter_text::AdapterGoneStatus(FPty.SlavePath()));
    FProgram->IdleTick();
    EXPECT_FALSE(FProgram->Port().Connected());
    EXPECT_TRUE(FWindow.Boxes.empty());
    EXPECT_TRUE(FReports.empty());
    EXPECT_EQ(FWindow.Pane, u"Pomiar nr 1");

    PseudoTerminal replugged;
    FProgram->Port().SetAdapterIdentity(PortIdentity(UsbAdapter(FPty.SlavePath(), "A1")));
    UsePorts({UsbAdapter(replugged.SlavePath(), "A1")});
    FProgram->Run(ProgramCommand::LastMeasurement);
    EXPECT_EQ(replugged.ReadFromPort(1, 2s), "T");
    EXPECT_EQ(State().Status, meter_text::PortFollowedStatus(FPty.SlavePath(), replugged.SlavePath()));
    FProgram->Run(ProgramCommand::LastMeasurement);
    EXPECT_EQ(replugged.ReadFromPort(1, 2s), "T");
    EXPECT_EQ(State().Status, "");

    FProgram->Port().Close();
    FProgram->Port().SetPort("ttyUSB7");
    FProgram->Port().SetAdapterIdentity(PortIdentity(UsbAdapter("ttyUSB7", "")));
    UsePorts({UsbAdapter(replugged.SlavePath(), ""), UsbAdapter("/dev/ttyUSB9", "")});
    FProgram->Run(ProgramCommand::LastMeasurement);
    SetPortDetailsSource({});
    EXPECT_EQ(State().Status, meter_text::PortAmbiguousStatus());
    EXPECT_EQ(FWindow.PortChoices, 1);
    EXPECT_FALSE(FProgram->Port().Connected());
    EXPECT_EQ(replugged.ReadFromPort(1, 200ms), "");
    EXPECT_TRUE(FWindow.Boxes.empty());
}

// The stored adapter is missing, another device holding its name (another
// adapter, a built-in UART, nothing listed): the status says which adapter
// and what is there, the operator is asked for the port and nothing is sent.
// A dialog cancelled keeps the meter's identity; a confirmed one makes the
// port picked the meter's, used from then on.
TEST_F(ProgramTest, MissingAdapterSendsNothingUntilTheOperatorPicksAPort)
{
    const std::string meterAdapter = PortIdentity(UsbAdapter(FPty.SlavePath(), "A1"));
    TPortDetails uart;
    uart.Name = uart.DevicePath = FPty.SlavePath();
    uart.Kind = pkBuiltInUart;
    const TPortDetails other = UsbAdapter(FPty.SlavePath(), "B2");
    for (const std::vector<TPortDetails>& listed :
         {std::vector<TPortDetails>{uart}, std::vector<TPortDetails>{}, std::vector<TPortDetails>{other}}) {
        FProgram->Port().SetAdapterIdentity(meterAdapter);
        UsePorts(listed);
        FProgram->Run(ProgramCommand::AllMeasurements);
        FProgram->Run(ProgramCommand::SetClock);
        EXPECT_EQ(State().Status, meter_text::AdapterMissingStatus(FPty.SlavePath(), "adapter USB 0403:6001, nr A1",
                                                                   listed.empty() ? "" : DescribePort(listed[0])));
        EXPECT_FALSE(FProgram->Port().Connected());
        EXPECT_EQ(FPty.ReadFromPort(1, 100ms), "");
        EXPECT_EQ(FProgram->Port().AdapterIdentity(), meterAdapter);
    }
    EXPECT_EQ(FWindow.PortChoices, 6);
    EXPECT_TRUE(FWindow.Boxes.empty());

    FWindow.PortChoiceConfirmed = true;
    FProgram->Run(ProgramCommand::LastMeasurement);
    EXPECT_EQ(FProgram->Port().AdapterIdentity(), PortIdentity(other));
    FProgram->Run(ProgramCommand::LastMeasurement);
    SetPortDetailsSource({});
    EXPECT_EQ(Sent(), "T");
    EXPECT_EQ(State().Status, "");
}

// The window goes while an answer arrives: the timers stop, the port closes,
// and nothing reaches the window any more.
TEST_F(ProgramTest, ClosingDuringATransferStopsTheTimersAndThePort)
{
    FProgram->Run(ProgramCommand::AllMeasurements);
    EXPECT_EQ(Sent(), "V");
    FPty.WriteToPort("Pomiar nr 1");
    ASSERT_TRUE(ServeUntil([&] { return State().TransferShown; }));
    FProgram->Shutdown();
    EXPECT_FALSE(FProgram->Port().Connected());
    const MeterTimers timers = FTimers.Timers();
    EXPECT_FALSE(timers.Idle.IsActive() || timers.Watchdog.IsActive() || timers.Handshake.IsActive());
    const size_t drawn = FWindow.Drawn.size();
    FProgram->IdleTick();
    EXPECT_EQ(FWindow.Drawn.size(), drawn);
    EXPECT_TRUE(FReports.empty());
}

// How often a file of Folder named Name is opened while Action runs.
static int OpensOf(const std::filesystem::path& Folder, const std::string& Name, const std::function<void()>& Action)
{
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // Closes are watched too: the system merges an event into the one
    // before it when both are the same.
    EXPECT_GE(inotify_add_watch(watch, Folder.c_str(), IN_OPEN | IN_CLOSE), 0);
    Action();
    int opens = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0;)
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            opens += (event->mask & IN_OPEN) != 0 && event->len > 0 && Name == event->name;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    close(watch);
    return opens;
}

// The start reads the settings file once, though it looks into it for two
// places: a file near its size bound is not read and parsed twice.
TEST_F(ProgramTest, SettingsAreRestoredAtStartAndAStoreThatFailsIsReported)
{
    WriteFile(RegistryFile(),
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Velt4\\ComPort]\n"
              "\"Port\"=\"/dev/ttyVELTTEST\"\n");
    FProgram = std::make_unique<MeterProgram>(FWindow, FTimers.Timers(), [] { return CalendarTime{}; });
    EXPECT_EQ(OpensOf(RegistryFile().parent_path(), "registry.reg", [&] { FProgram->Start(); }), 1);
    EXPECT_EQ(FProgram->Port().Port(), "/dev/ttyVELTTEST");

    WriteFile(FHome / "not-a-dir", "");
    setenv("XDG_CONFIG_HOME", (FHome / "not-a-dir" / "config").c_str(), 1);
    FProgram->StoreSettings();
    EXPECT_EQ(FReports, std::vector<std::string>{"Failed to store settings"});
}

// The pane goes to the chosen file whole; a cancelled dialog writes nothing;
// a failed save is reported with the file's name and leaves the file as it was.
TEST_F(ProgramTest, SavingWritesThePaneWholeOrNotAtAll)
{
    const std::filesystem::path file = FHome / "pomiary.txt";
    FWindow.SaveAs = file;
    FProgram->Run(ProgramCommand::SavePane);
    EXPECT_EQ(ReadFile(file), FWindow.Rtf);

    FWindow.SaveAs.clear();
    FWindow.Rtf = "{\\rtf1 inny}";
    FProgram->Run(ProgramCommand::SavePane);
    EXPECT_EQ(ReadFile(file), "{\\rtf1 nowy}");

    WriteFile(FHome / "plik", "");
    FWindow.SaveAs = FHome / "plik" / "pomiary.txt"; // a file is no directory
    FProgram->Run(ProgramCommand::SavePane);
    ASSERT_EQ(FReports.size(), 1u);
    EXPECT_NE(FReports[0].find((FHome / "plik" / "pomiary.txt").string()), std::string::npos) << FReports[0];
}

// A write that fails half way (the file-size limit stops it) leaves the old
// file whole and no temporary file beside it.
TEST_F(ProgramTest, WriteThatFailsHalfWayLeavesTheOldFileWhole)
{
    const std::filesystem::path file = FHome / "pomiary.rtf";
    WriteFileAtomically(file, "stary");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limited);
    EXPECT_THROW(WriteFileAtomically(file, std::string(64 * 1024, 'x')), std::system_error);
    setrlimit(RLIMIT_FSIZE, &previous);
    EXPECT_EQ(ReadFile(file), "stary");
    std::vector<std::string> beside; // the file and what a write may leave next to it
    for (const auto& entry : std::filesystem::directory_iterator(FHome))
        if (entry.path().filename().string().rfind("pomiary", 0) == 0)
            beside.push_back(entry.path().filename().string());
    EXPECT_EQ(beside, std::vector<std::string>{"pomiary.rtf"});
}

TEST(ReportQueueTest, ReportsArrivingWhileABoxIsOpenWaitOrAreCounted)
{
    std::vector<std::string> shown;
    ReportQueue* self = nullptr;
    ReportQueue queue(
        [&](const std::string& Text) {
            shown.push_back(Text);
            if (shown.size() == 1)
                for (int i = 0; i < 20; ++i)
                    self->Report("report " + std::to_string(i));
        },
        {});
    self = &queue;
    queue.Report("first");
    ASSERT_EQ(shown.size(), 1 + kMaxWaitingReports + 1);
    EXPECT_EQ(shown[1], "report 0");
    EXPECT_EQ(shown.back(), "Pominięto dalsze komunikaty o błędach: 12.");
}

TEST(ReportQueueTest, ReportFromAnotherThreadIsShownOnTheMainThread)
{
    std::vector<std::thread::id> showers;
    std::atomic<int> wakes{0};
    ReportQueue queue([&](const std::string&) { showers.push_back(std::this_thread::get_id()); }, [&] { ++wakes; });
    std::thread other([&] { queue.Report("z wątku"); });
    other.join();
    EXPECT_TRUE(showers.empty());
    EXPECT_EQ(wakes, 1);
    queue.ShowWaiting();
    EXPECT_EQ(showers, std::vector<std::thread::id>{std::this_thread::get_id()});
}
