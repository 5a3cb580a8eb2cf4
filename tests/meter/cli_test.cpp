// velt-cli as a script runs it, against the simulated meter on a
// pseudo-terminal: the output, the messages and the exit codes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "support/ChildProgram.h"
#include "support/PseudoTerminal.h"
#include "support/TempConfigHome.h"

extern char** environ;

namespace {

// The simulated meter, ended with the test (and by itself when the test
// dies, through its watched standard input).
class MeterSim {
public:
    explicit MeterSim(std::vector<std::string> Options)
    {
        int out[2], in[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        const std::string program = METERSIM_PATH;
        Options.insert(Options.begin(), program);
        Options.push_back("--watch-stdin");
        std::vector<char*> argv;
        for (std::string& option : Options)
            argv.push_back(option.data());
        argv.push_back(nullptr);
        posix_spawn(&FPid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(in[0]);
        FStdin = in[1];
        char c = 0;
        while (read(out[0], &c, 1) == 1 && c != '\n')
            Path.push_back(c);
        close(out[0]);
    }
    ~MeterSim()
    {
        close(FStdin);
        if (FPid > 0)
            waitpid(FPid, nullptr, 0);
    }
    std::string Path;

private:
    pid_t FPid = -1;
    int FStdin = -1;
};

class CliTest : public TempConfigHomeTest {
protected:
    Finished Cli(const std::vector<std::string>& Arguments) { return RunProgram(VELT_CLI_PATH, Arguments); }

    void StorePort(const std::string& Port, const std::string& DataBits, const std::string& Identity = "")
    {
        WriteFile(RegistryFile(), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velt4\\ComPort]\r\n\"Port\"=\"" +
                                      Port + "\"\r\n\"BaudRate\"=\"9600\"\r\n\"DataBits\"=\"" + DataBits +
                                      "\"\r\n\"AdapterIdentity\"=\"" + Identity + "\"\r\n\r\n");
    }
};

const std::string kMeterError = "Wystąpił błąd komunikacji z miernikiem!";

} // namespace

TEST_F(CliTest, ReadCommandsPrintTheAnswerAsUtf8)
{
    MeterSim meter({});
    const Finished last = Cli({"--port", meter.Path, "last"});
    EXPECT_EQ(last.ExitCode, 0) << last.Err;
    EXPECT_EQ(last.Out.rfind("Ostatni pomiar – Pomiar nr 28: ", 0), 0u) << last.Out;
    EXPECT_EQ(last.Err, "");

    const Finished one = Cli({"get", "5", "--port=" + meter.Path});
    EXPECT_EQ(one.ExitCode, 0);
    EXPECT_EQ(one.Out.rfind("Pomiar nr 5: ", 0), 0u) << one.Out;
    EXPECT_NE(one.Out.find("°C, wilgotność "), std::string::npos);
    EXPECT_EQ(one.Out.find('\r'), std::string::npos); // one "\n" per line
}

TEST_F(CliTest, ProgressLineIsDrawnOnlyOnATerminal)
{
    MeterSim meter({"--split", "100", "--bursts", "3"});
    PseudoTerminal terminal;
    const Finished all = RunProgram(VELT_CLI_PATH, {"--port", meter.Path, "all"}, terminal.SlaveFd());
    EXPECT_EQ(all.ExitCode, 0);
    const std::string drawn = terminal.ReadFromPort(SIZE_MAX, std::chrono::milliseconds(200));
    EXPECT_NE(drawn.find("\rTransmisja danych: "), std::string::npos) << drawn;
    EXPECT_EQ(drawn.back(), '\r'); // wiped at the end
    EXPECT_NE(all.Out.find("Pomiar nr 28: "), std::string::npos);
}

TEST_F(CliTest, AnswerInBurstsIsCollectedWhole)
{
    MeterSim meter({"--split", "300", "--bursts", "4"});
    const Finished all = Cli({"--port", meter.Path, "all"});
    EXPECT_EQ(all.ExitCode, 0) << all.Err;
    EXPECT_EQ(all.Out.rfind("Pomiar nr 1: ", 0), 0u);
    EXPECT_NE(all.Out.find("\nPomiar nr 28: "), std::string::npos);
    EXPECT_EQ(std::count(all.Out.begin(), all.Out.end(), '\n'), 28);
}

TEST_F(CliTest, NulByteIsLeftOutAndTheTextAfterItKept)
{
    MeterSim meter({"--nul"});
    const Finished one = Cli({"--port", meter.Path, "get", "3"});
    EXPECT_EQ(one.ExitCode, 0);
    EXPECT_EQ(one.Out.find('\0'), std::string::npos);
    EXPECT_EQ(one.Out.rfind("Pomiar nr 3: ", 0), 0u) << one.Out;
    EXPECT_NE(one.Out.find("wilgotność"), std::string::npos);
}

TEST_F(CliTest, SilentMeterExitsWithOne)
{
    MeterSim meter({"--silent"});
    const Finished read = Cli({"--port", meter.Path, "last"});
    EXPECT_EQ(read.ExitCode, 1);
    EXPECT_EQ(read.Out, "");
    EXPECT_NE(read.Err.find(kMeterError), std::string::npos) << read.Err;

    const Finished clock = Cli({"--port", meter.Path, "set-clock"});
    EXPECT_EQ(clock.ExitCode, 1);
    EXPECT_NE(clock.Err.find("Błąd ustawiania zegara miernika!"), std::string::npos) << clock.Err;
}

TEST_F(CliTest, SetClockRecoversFromAWrongAnswer)
{
    MeterSim meter({"--wrong", "3"});
    const Finished clock = Cli({"--port", meter.Path, "set-clock"});
    EXPECT_EQ(clock.ExitCode, 0);
    EXPECT_EQ(clock.Out, "");
    EXPECT_NE(clock.Err.find("Zegar miernika ustawiony poprawnie!"), std::string::npos) << clock.Err;
}

TEST_F(CliTest, LineLostDuringTheAnswerFailsTheRead)
{
    PseudoTerminal line;   // the test plays the meter
    PseudoTerminal screen; // standard error, whose progress line tells when the bytes were taken
    const Started cli = StartProgram(VELT_CLI_PATH, {"--port", line.SlavePath(), "last"}, screen.SlaveFd());
    EXPECT_EQ(line.ReadFromPort(1, std::chrono::seconds(10)), "T");
    line.WriteToPort("Pomiar nr 28: 2");
    std::string shown;
    EXPECT_TRUE(WaitUntil(
        [&] {
            shown += screen.ReadFromPort(SIZE_MAX, std::chrono::milliseconds(0));
            return shown.find("Transmisja danych: 15 B") != std::string::npos;
        },
        std::chrono::seconds(10)));
    line.CloseMaster(); // the adapter is pulled out half-way
    const Finished read = Collect(cli);
    shown += screen.ReadFromPort(SIZE_MAX, std::chrono::milliseconds(100));
    EXPECT_EQ(read.ExitCode, 1);
    EXPECT_EQ(read.Out, "Pomiar nr 28: 2"); // what arrived is still written
    // The tool says the line failed; asking to choose a port would mislead.
    EXPECT_NE(shown.find("błąd linii szeregowej (utrata połączenia z portem)"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Adapter miernika został odłączony. (" + line.SlavePath() + ")"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Wybierz port komunikacyjny"), std::string::npos) << shown;
}

TEST_F(CliTest, AnswerBeyondTheBoundIsWrittenCutAndFailsTheRead)
{
    PseudoTerminal line; // the test plays a meter that sends too much
    const Started cli = StartProgram(VELT_CLI_PATH, {"--port", line.SlavePath(), "last"});
    EXPECT_EQ(line.ReadFromPort(1, std::chrono::seconds(10)), "T");
    constexpr size_t kBound = 16u << 20;
    line.WriteToPort(std::string(kBound + 4096, 'x'));
    const Finished read = Collect(cli);
    EXPECT_EQ(read.ExitCode, 1);
    EXPECT_EQ(read.Out.size(), kBound) << "what came within the bound is still written";
    EXPECT_NE(read.Err.find("zapisano tylko jej początek"), std::string::npos) << read.Err;
}

TEST_F(CliTest, OutWritesUtf8TextOrRtf)
{
    MeterSim meter({});
    const fs::path text = FHome / "pomiar.txt";
    const Finished toText = Cli({"--port", meter.Path, "--out", text.string(), "get", "7"});
    EXPECT_EQ(toText.ExitCode, 0) << toText.Err;
    EXPECT_EQ(toText.Out, "");
    EXPECT_EQ(ReadFile(text).rfind("Pomiar nr 7: ", 0), 0u);
    EXPECT_NE(ReadFile(text).find("wilgotność"), std::string::npos);

    const fs::path rtf = FHome / "pomiar.RTF";
    EXPECT_EQ(Cli({"--port", meter.Path, "--out", rtf.string(), "get", "7"}).ExitCode, 0);
    const std::string document = ReadFile(rtf);
    EXPECT_EQ(document.rfind("{\\rtf1\\ansi\\ansicpg1250", 0), 0u);
    EXPECT_NE(document.find("Pomiar nr 7: "), std::string::npos);
    EXPECT_NE(document.find("wilgotno\\'9c\\'e6"), std::string::npos); // ść in code page 1250

    const Finished nowhere = Cli({"--port", meter.Path, "--out", (FHome / "no-dir" / "x.txt").string(), "last"});
    EXPECT_EQ(nowhere.ExitCode, 2);
    EXPECT_NE(nowhere.Err.find("no-dir"), std::string::npos);
}

// The settings the window stored are used, the options override them, and
// the store is neither created nor changed.
TEST_F(CliTest, StoredSettingsAreReadNeverWritten)
{
    MeterSim meter({});
    EXPECT_EQ(Cli({"last"}).ExitCode, 2); // nothing stored, no --port
    EXPECT_FALSE(fs::exists(RegistryFile()));

    StorePort(meter.Path, "7"); // a pseudo-terminal takes only 8 data bits
    const std::string stored = ReadFile(RegistryFile());
    const Finished refused = Cli({"last"});
    EXPECT_EQ(refused.ExitCode, 2);
    EXPECT_NE(refused.Err.find("Wystąpił błąd podczas otwierania portu!"), std::string::npos) << refused.Err;

    const Finished overridden = Cli({"--data-bits", "8", "last"});
    EXPECT_EQ(overridden.ExitCode, 0) << overridden.Err;
    EXPECT_EQ(overridden.Out.rfind("Ostatni pomiar", 0), 0u);
    EXPECT_EQ(ReadFile(RegistryFile()), stored);
}

// The stored adapter is not among the listed ports (a pseudo-terminal never
// is): nothing is written to what holds its name, for a read or the clock,
// and the message names the adapter looked for. --port opens the name as
// given. The store stays as it was.
TEST_F(CliTest, MissingAdapterIsRefusedAndAnExplicitPortIsOpened)
{
    PseudoTerminal line;
    StorePort(line.SlavePath(), "8", "usb:0403:6001:at:1-1:sn:A1");
    const std::string stored = ReadFile(RegistryFile());
    for (const char* command : {"last", "set-clock"}) {
        const Finished refused = Cli({command});
        EXPECT_EQ(refused.ExitCode, 2);
        EXPECT_NE(refused.Err.find("Nie znaleziono adaptera miernika (adapter USB 0403:6001, nr A1, zapisany port " +
                                   line.SlavePath() + ")"),
                  std::string::npos)
            << refused.Err;
        EXPECT_NE(refused.Err.find("--port"), std::string::npos);
    }
    EXPECT_EQ(line.ReadFromPort(SIZE_MAX, std::chrono::milliseconds(100)), "");

    const Finished chosen = Cli({"--port", line.SlavePath(), "last"});
    EXPECT_EQ(chosen.ExitCode, 1) << chosen.Err; // no meter behind it
    EXPECT_EQ(line.ReadFromPort(SIZE_MAX, std::chrono::milliseconds(100)), "T");
    EXPECT_EQ(ReadFile(RegistryFile()), stored);
}

// An open that fails says why in words beside the component's message; the
// advice about the dialout group only where rights are missing.
TEST_F(CliTest, OpenFailureSaysWhatHappened)
{
    PseudoTerminal held;
    ASSERT_EQ(flock(held.SlaveFd(), LOCK_EX | LOCK_NB), 0);
    const std::string missing = (FHome / "ttyUSB9").string();
    const std::pair<std::string, std::string> cases[] = {
        {missing, missing + ": nie ma takiego portu; Unable to open com port"},
        {held.SlavePath(), held.SlavePath() + ": port jest zajęty przez inny program; Unable to open com port"}};
    for (const auto& [port, said] : cases) {
        const Finished run = Cli({"--port", port, "last"});
        EXPECT_EQ(run.ExitCode, 2);
        EXPECT_NE(run.Err.find("Wystąpił błąd podczas otwierania portu! (" + said), std::string::npos) << run.Err;
        EXPECT_EQ(run.Err.find("dialout"), std::string::npos) << run.Err;
    }
}

// find asks each port in turn: a port another program holds is left alone
// (not even written to), a silent one is passed over, and the meter is named.
TEST_F(CliTest, FindNamesThePortWhereTheMeterAnswers)
{
    MeterSim meter({});
    PseudoTerminal held;   // locked as the component's exclusive open locks it
    PseudoTerminal silent; // no meter behind it
    ASSERT_EQ(flock(held.SlaveFd(), LOCK_EX | LOCK_NB), 0);
    const Finished found = Cli({"find", held.SlavePath(), silent.SlavePath(), meter.Path});
    EXPECT_EQ(found.ExitCode, 0) << found.Err;
    EXPECT_EQ(found.Out.rfind(meter.Path + ": Ostatni pomiar – Pomiar nr 28: ", 0), 0u) << found.Out;
    EXPECT_EQ(std::count(found.Out.begin(), found.Out.end(), '\n'), 1); // the answer's first line alone
    EXPECT_NE(found.Err.find(held.SlavePath() + ": zajęty przez inny program"), std::string::npos) << found.Err;
    EXPECT_NE(found.Err.find(silent.SlavePath() + ": brak odpowiedzi"), std::string::npos) << found.Err;
    EXPECT_EQ(held.ReadFromPort(SIZE_MAX, std::chrono::milliseconds(100)), "");
    EXPECT_EQ(silent.ReadFromPort(SIZE_MAX, std::chrono::milliseconds(100)), "T");

    const Finished none = Cli({"find", silent.SlavePath()});
    EXPECT_EQ(none.ExitCode, 1);
    EXPECT_EQ(none.Out, "");
}

TEST_F(CliTest, LogWritesTheExchangeAndMonitorListensUntilTheLineHangsUpNamedAsItsHolder)
{
    MeterSim meter({});
    const std::string logFile = (FHome / "line.log").string();
    const Finished last = Cli({"--port", meter.Path, "--log", logFile, "last"});
    EXPECT_EQ(last.ExitCode, 0) << last.Err;
    const std::string log = ReadFile(logFile);
    EXPECT_NE(log.find(" open    " + meter.Path + " 9600 8N1"), std::string::npos) << log;
    EXPECT_NE(log.find(" tx      1 | 54 | T\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" rx      "), std::string::npos) << log;
    EXPECT_NE(log.find(" close\n"), std::string::npos) << log;

    PseudoTerminal line; // the test plays the far end; the tool sends nothing
    const Started monitor = StartProgram(VELT_CLI_PATH, {"monitor", line.SlavePath()});
    std::string shown;
    EXPECT_TRUE(WaitUntil(
        [&] {
            line.WriteToPort("a\r"); // until the tool, once open, shows it
            pollfd out{monitor.Out, POLLIN, 0};
            char buffer[4096];
            ssize_t n = 0;
            while (poll(&out, 1, 50) > 0 && (n = read(monitor.Out, buffer, sizeof buffer)) > 0)
                shown.append(buffer, static_cast<size_t>(n));
            return shown.find(" rx      2 | 61 0D | a<CR>\n") != std::string::npos;
        },
        std::chrono::seconds(10)))
        << shown;
    // A second opener is refused and told who holds the port.
    const Finished refused = Cli({"--port", line.SlavePath(), "last"});
    EXPECT_EQ(refused.ExitCode, 2);
    EXPECT_NE(refused.Err.find("używany przez: "), std::string::npos) << refused.Err;
    EXPECT_NE(refused.Err.find("velt-cli (PID " + std::to_string(monitor.Pid) + ")"), std::string::npos) << refused.Err;
    EXPECT_EQ(line.ReadFromPort(1, std::chrono::milliseconds(300)), "");
    line.CloseMaster();
    const Finished ended = Collect(monitor);
    shown += ended.Out;
    EXPECT_EQ(ended.ExitCode, 2) << ended.Err;
    EXPECT_NE(shown.find(" hangup  "), std::string::npos) << shown;
    EXPECT_NE(ended.Err.find("utrata połączenia z portem"), std::string::npos) << ended.Err;

    const Finished timed = Cli({"monitor", meter.Path, "--for", "1"});
    EXPECT_EQ(timed.ExitCode, 0) << timed.Err;
    EXPECT_NE(timed.Out.find(" close\n"), std::string::npos) << timed.Out;
}

TEST_F(CliTest, WrongOptionsExitWithTwoAndHelpWithZero)
{
    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{{},
                                                                                       {"read"},
                                                                                       {"get"},
                                                                                       {"get", "29"},
                                                                                       {"get", "1x"},
                                                                                       {"last", "extra"},
                                                                                       {"--parity", "odd-ish", "last"},
                                                                                       {"--baud", "fast", "last"},
                                                                                       {"--port"},
                                                                                       {"--colour", "red", "last"},
                                                                                       {"--out", "x.txt", "set-clock"},
                                                                                       {"--out", "x.txt", "find"},
                                                                                       {"--port", "ttyS0", "find"},
                                                                                       {"--tsv", "last"},
                                                                                       {"--for", "3", "last"},
                                                                                       {"monitor", "a", "b"},
                                                                                       {"--log", "", "last"}}) {
        const Finished run = Cli(wrong);
        EXPECT_EQ(run.ExitCode, 2) << ::testing::PrintToString(wrong);
        EXPECT_NE(run.Err, "");
    }
    const Finished help = Cli({"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Out.find("set-clock"), std::string::npos);

    // The port list, for people and for programs.
    const Finished table = Cli({"ports"});
    EXPECT_EQ(table.ExitCode, 0) << table.Err;
    EXPECT_EQ(table.Out.rfind("PORT ", 0), 0u) << table.Out;
    const Finished lines = Cli({"ports", "--tsv"});
    EXPECT_EQ(lines.ExitCode, 0) << lines.Err;
    EXPECT_EQ(lines.Out.rfind("name\tkind\tusb_id\t", 0), 0u) << lines.Out;
}
