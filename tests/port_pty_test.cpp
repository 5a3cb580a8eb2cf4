// The port on a real pseudo-terminal: what reaches the line, what is refused,
// moving bytes with the timeouts, aborting, and failures of every kind.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComTransfer.h>
#include "Termios2.h"
#include "support/ComErrors.h"
#include "support/PseudoTerminal.h"

using namespace std::chrono_literals;

namespace {

int OpenDescriptors()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr)
            ++count;
        closedir(dir);
    }
    return count;
}

// A port on the pseudo-terminal, without an event thread: these tests read
// and write themselves.
struct PtyPort : TComPort {
    explicit PtyPort(const PseudoTerminal& pty) : TComPort(nullptr)
    {
        SetPort(pty.SlavePath());
        SetEvents({});
    }
};

device::Termios2 LineOf(const PseudoTerminal& pty)
{
    device::Termios2 t;
    EXPECT_EQ(device::ReadTermios2(pty.SlaveFd(), t), 0);
    return t;
}

} // namespace

TEST(PortOnPty, DefaultsRunTheLineAt9600EightNoneOneRaw)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Open();
    const auto line = LineOf(pty);
    EXPECT_EQ(device::OutputRate(line), 9600u);
    EXPECT_EQ(device::InputRate(line), 9600u);
    EXPECT_EQ(line.ControlFlags & CSIZE, static_cast<uint32_t>(CS8));
    EXPECT_EQ(line.ControlFlags & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(line.ControlFlags & CLOCAL, 0u);
    EXPECT_EQ(line.LocalFlags & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(line.InputFlags & (IXON | IXOFF | ICRNL | BRKINT), 0u);
    EXPECT_EQ(line.OutputFlags & OPOST, 0u);
}

TEST(PortOnPty, EveryRateReadsBackExactly)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Open();
    for (int i = 1; i < kBaudRateCount; ++i) {
        port.SetBaudRate(static_cast<TBaudRate>(i));
        EXPECT_EQ(device::OutputRate(LineOf(pty)), BaudRateValue(static_cast<TBaudRate>(i))) << i;
    }
    port.SetCustomBaudRate(31250);
    port.SetBaudRate(brCustom);
    EXPECT_EQ(device::OutputRate(LineOf(pty)), 31250u);
}

TEST(PortOnPty, FormatsThePtyCannotCarryAreRefusedNotDropped)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Open();
    auto sevenBits = ExpectComError([&] { port.SetDataBits(dbSeven); });
    EXPECT_EQ(sevenBits.PortErrorCode(), peSetLineFailed);
    EXPECT_EQ(sevenBits.SystemErrorCode(), EINVAL);
    port.SetDataBits(dbEight);
    auto even = ExpectComError([&] { port.Parity().SetBits(prEven); });
    EXPECT_EQ(even.PortErrorCode(), peSetLineFailed);
    EXPECT_EQ(even.SystemErrorCode(), EINVAL);
    port.Parity().SetBits(prNone);
    // A pseudo-terminal has no DSR to be sensitive to.
    auto dsr = ExpectComError([&] { port.FlowControl().SetDSRSensitivity(true); });
    EXPECT_EQ(dsr.PortErrorCode(), peSetLineFailed);
    EXPECT_EQ(dsr.SystemErrorCode(), ENOTTY);
    EXPECT_TRUE(port.Connected());
    // A pseudo-terminal holds no byte back: low latency is met as it stands.
    port.FlowControl().SetDSRSensitivity(false);
    port.SetLowLatency(true);
    EXPECT_TRUE(port.Connected());

    // Refused while opening: the device is closed again.
    PseudoTerminal other;
    PtyPort refused(other);
    refused.SetDataBits(dbSeven);
    const int before = OpenDescriptors();
    EXPECT_EQ(ExpectComError([&] { refused.Open(); }).PortErrorCode(), peSetLineFailed);
    EXPECT_FALSE(refused.Connected());
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(PortOnPty, SecondOpenerFailsInThisProcessAndAnother)
{
    PseudoTerminal pty;
    PtyPort first(pty);
    first.Open();
    PtyPort second(pty);
    auto e = ExpectComError([&] { second.Open(); });
    EXPECT_EQ(e.PortErrorCode(), peOpenDevice);
    EXPECT_EQ(e.SystemErrorCode(), EBUSY);
    EXPECT_EQ(e.OpenFailure(), ofInUse);
    EXPECT_FALSE(second.Connected());

    const pid_t child = fork();
    if (child == 0) {
        int code = 0;
        try {
            PtyPort third(pty);
            third.Open();
        } catch (const EComPort& err) {
            code = err.PortErrorCode() == peOpenDevice && err.SystemErrorCode() == EBUSY ? 42 : 1;
        }
        _exit(code);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 42);

    first.Close();
    EXPECT_NO_THROW(second.Open());
}

TEST(PortOnPty, NamesThatAreNoTerminalFailWithTheirErrnoAndLeakNothing)
{
    char dir[] = "/tmp/velt-port-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/plain";
    std::ofstream(file) << "not a tty";
    const std::pair<std::string, int> cases[] = {
        {file, ENOTTY}, {dir, ENOTTY}, {std::string(dir) + "/missing", ENOENT}, {"", ENOENT}};
    const int before = OpenDescriptors();
    for (const auto& [name, error] : cases) {
        TComPort port(nullptr);
        port.SetPort(name);
        auto e = ExpectComError([&] { port.Open(); });
        EXPECT_EQ(e.PortErrorCode(), peOpenDevice) << name;
        EXPECT_EQ(e.SystemErrorCode(), error) << name;
        EXPECT_EQ(e.OpenFailure(), error == ENOENT ? ofNoSuchPort : ofOther) << name;
        EXPECT_FALSE(port.Connected());
    }
    EXPECT_EQ(EComPort(peOpenDevice, EACCES).OpenFailure(), ofAccessDenied);
    EXPECT_EQ(OpenDescriptors(), before);
    unlink(file.c_str());
    rmdir(dir);
}

TEST(PortOnPty, BytesMoveBothWaysAndReadsReturnWhatIsWaiting)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Open();
    EXPECT_EQ(port.WriteText("T\x1C"), 2);
    EXPECT_EQ(pty.ReadFromPort(2, 2s), "T\x1C");
    EXPECT_EQ(port.WriteText(""), 0);

    std::string text = "stale";
    EXPECT_EQ(port.ReadText(text, 10), 0);
    EXPECT_TRUE(text.empty());

    pty.WriteToPort(
        std::string("abc\0\xFF"
                    "def",
                    8));
    ASSERT_TRUE(WaitUntil([&] { return port.InQueueCount() == 8; }, 5s));
    EXPECT_EQ(port.ReadText(text, 5), 5);
    EXPECT_EQ(text, std::string("abc\0\xFF", 5));
    EXPECT_EQ(port.ReadText(text, 100), 3);
    EXPECT_EQ(text, "def");
    EXPECT_EQ(port.InQueueCount(), 0);
    EXPECT_EQ(port.ReadText(text, 0), 0);
    EXPECT_EQ(port.ReadText(text, -4), 0);
    EXPECT_TRUE(text.empty());

    // A pseudo-terminal has no modem lines and reports no errors.
    EXPECT_TRUE(port.LineSignals().Empty());
    EXPECT_TRUE(port.FetchLineErrors().Empty());
}

TEST(PortOnPty, TotalReadTimeoutWaitsForTheCountThenGivesUp)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(300);
    port.Open();
    std::string text;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.ReadText(text, 4), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);

    // Bytes that arrive while the read waits are taken.
    std::thread writer([&] {
        std::this_thread::sleep_for(50ms);
        pty.WriteToPort("wxyz");
    });
    port.Timeouts().SetReadTotalConstant(20000);
    EXPECT_EQ(port.ReadText(text, 4), 4);
    EXPECT_EQ(text, "wxyz");
    writer.join();
}

TEST(PortOnPty, AbortEndsAReadPendingOnAnotherThread)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Timeouts().SetReadInterval(0); // all zero: wait for the full count
    port.Open();
    std::atomic<int> code{0};
    std::atomic<int> error{0};
    std::atomic<bool> done{false};
    std::thread reader([&] {
        char buffer[16];
        try {
            port.ReadBytes(buffer, sizeof buffer);
        } catch (const EComPort& e) {
            code = e.PortErrorCode();
            error = e.SystemErrorCode();
        }
        done = true;
    });
    // The abort may come before the read has started; repeat it until the
    // read has ended, which it must without any byte arriving.
    EXPECT_TRUE(WaitUntil(
        [&] {
            port.AbortTransfers();
            return done.load();
        },
        10s));
    reader.join();
    EXPECT_EQ(code, peReadFailed);
    EXPECT_EQ(error, ECANCELED);
}

TEST(PortOnPty, OperationsOnAPortNotOpenFailWithTheInvalidHandleNumber)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    const auto check = [&](int expectedCode, auto action) {
        auto e = ExpectComError(action);
        EXPECT_EQ(e.PortErrorCode(), expectedCode);
        EXPECT_EQ(e.SystemErrorCode(), EBADF);
    };
    std::string text;
    for (int round = 0; round < 2; ++round) { // never opened, then closed
        check(peWriteFailed, [&] { port.WriteText("T"); });
        check(peReadFailed, [&] { port.ReadText(text, 1); });
        check(pePurgeFailed, [&] { port.AbortTransfers(); });
        check(peClearErrorFailed, [&] { port.InQueueCount(); });
        check(peClearErrorFailed, [&] { port.FetchLineErrors(); });
        check(peModemStatusFailed, [&] { port.LineSignals(); });
        port.Open();
        port.Close();
    }
    EXPECT_EQ(pty.ReadFromPort(1, 100ms), "");
}

TEST(PortOnPty, TransferRecordsFollowTheirCallingOrder)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Open();
    PComTransfer transfer = nullptr;
    NewTransfer(transfer);
    EXPECT_EQ(port.AwaitTransfer(transfer), 0); // nothing started: ends at once
    const std::string request = "V";
    port.BeginWriteText(request, transfer);
    EXPECT_EQ(port.AwaitTransfer(transfer), 1);
    EXPECT_EQ(transfer->WrittenSize, 1);
    FreeTransfer(transfer);
    EXPECT_EQ(transfer, nullptr);
    EXPECT_EQ(pty.ReadFromPort(1, 2s), "V");

    for (auto action : {+[](TComPort& p) { p.BeginWrite("x", 1, nullptr); },
                        +[](TComPort& p) {
                            char c;
                            p.BeginRead(&c, 1, nullptr);
                        },
                        +[](TComPort& p) { p.AwaitTransfer(nullptr); }}) {
        auto e = ExpectComError([&] { action(port); });
        EXPECT_EQ(e.PortErrorCode(), peBadTransfer);
        EXPECT_STREQ(e.what(), "Invalid Async parameter");
    }
}

TEST(PortOnPty, CloseWhileAnotherThreadAwaitsAReadEndsItFirst)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Timeouts().SetReadInterval(0); // wait for the full count
    port.Open();
    std::atomic<bool> started{false};
    std::atomic<int> code{0};
    std::thread reader([&] {
        char buffer[8];
        started = true;
        try {
            port.ReadBytes(buffer, sizeof buffer);
        } catch (const EComPort& e) {
            code = e.PortErrorCode();
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return started.load(); }, 5s));
    port.Close();
    reader.join();
    EXPECT_EQ(code, peReadFailed);
    // The device was let go: it opens again at once.
    EXPECT_NO_THROW(port.Open());
}

TEST(PortOnPty, HugeTotalTimeoutsMeanNoLimitRatherThanNone)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Timeouts().SetReadInterval(-1);
    port.Timeouts().SetReadTotalMultiplier(-1);
    port.Timeouts().SetReadTotalConstant(0);
    port.Timeouts().SetWriteTotalMultiplier(-1);
    port.Open();
    std::thread writer([&] {
        std::this_thread::sleep_for(100ms);
        pty.WriteToPort(std::string(4096, 'x'));
    });
    std::string text;
    EXPECT_EQ(port.ReadText(text, 4096), 4096);
    writer.join();
    const std::string block(4096, 'y');
    std::thread drainer([&] { EXPECT_EQ(pty.ReadFromPort(block.size(), 10s).size(), block.size()); });
    EXPECT_EQ(port.WriteText(block), 4096);
    drainer.join();
}
