// The FTDI adapter pulled out of the guest's USB port while the port is
// idle, reading, writing, and with transfers queued: one report of the lost
// device, every pending transfer ended with an error, no CPU spent after it,
// a prompt Close, and the same name working again once it is plugged back.
#include <gtest/gtest.h>

#include <time.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComTransfer.h>
#include "realline/RigLine.h"
#include "support/ComErrors.h"
#include "support/PseudoTerminal.h"

using namespace std::chrono_literals;

namespace {

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class RealLineUnplug : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_OUTSIDE_RIG();
        RigAsk("ECHO usb off");
        RigAsk("CLEAR usb");
        port.SetPort(RigDevice(RigLineKind::Ftdi));
        port.SetSyncMethod(smNone); // handlers on the event thread: the test has no main loop
        port.SetEvents({evRxChar, evError, evBreak, evCTS, evDSR, evRLSD, evRing});
        port.OnError = [this](TComponent*, TComErrors Errors) {
            ++errorReports;
            if (Errors.Contains(ceIO))
                ++lostReports;
        };
        // Reads wait for what they ask (no timeouts), so only the unplug ends them.
        port.Timeouts().SetReadInterval(0);
        port.Timeouts().SetWriteTotalMultiplier(0);
        port.Timeouts().SetWriteTotalConstant(0);
        port.Open();
    }

    void TearDown() override
    {
        if (IsSkipped())
            return;
        // Closed first: while the gone adapter's node is held open, the
        // kernel gives the one plugged back another name.
        port.Close();
        RigPlug(); // does nothing when the adapter is in
    }

    // After the pull: one report, then the process stays idle for 2 s.
    void ExpectOneReportAndNoSpin()
    {
        EXPECT_TRUE(WaitUntil([&] { return lostReports > 0; }, 10s));
        const double cpu = ProcessCpuSeconds();
        std::this_thread::sleep_for(2s);
        EXPECT_LT(ProcessCpuSeconds() - cpu, 0.04) << "more than 2 % of a CPU over the 2 s after the pull";
        EXPECT_EQ(lostReports, 1);
        EXPECT_EQ(errorReports, 1);
    }

    // Close returns at once; once plugged back the same name opens and carries data.
    void ExpectCloseAndReopen()
    {
        const auto start = std::chrono::steady_clock::now();
        port.Close();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "Close did not return promptly";
        RigPlug();
        RigAsk("CLEAR usb");
        port.Timeouts().SetReadInterval(-1);
        port.Timeouts().SetReadTotalMultiplier(-1);
        port.Timeouts().SetReadTotalConstant(20000);
        ASSERT_NO_THROW(port.Open());
        RigAsk("ECHO usb on");
        EXPECT_EQ(port.WriteText("again"), 5);
        std::string echoed;
        WaitUntil(
            [&] {
                std::string part;
                port.ReadText(part, static_cast<int32_t>(5 - echoed.size()));
                echoed += part;
                return echoed.size() >= 5;
            },
            20s);
        EXPECT_EQ(echoed, "again");
        RigAsk("ECHO usb off");
        port.Close();
    }

    TComPort port{nullptr};
    std::atomic<int> errorReports{0}, lostReports{0};
};

TEST_F(RealLineUnplug, WhileIdleWithEventsOn)
{
    RigUnplug();
    ExpectOneReportAndNoSpin();
    ExpectCloseAndReopen();
}

TEST_F(RealLineUnplug, MidReadEndsTheReadWithWhatCameThenFailsTheNext)
{
    RigSend(RigLineKind::Ftdi, "abc");
    ASSERT_TRUE(WaitUntil([&] { return port.InQueueCount() == 3; }, 20s));
    std::string text;
    PComTransfer transfer = nullptr;
    NewTransfer(transfer);
    port.BeginReadText(text, 100, transfer); // takes them and waits for the rest
    RigUnplug();
    EXPECT_EQ(port.AwaitTransfer(transfer), 3); // what came before the pull is kept
    EXPECT_EQ(text.substr(0, 3), "abc");
    FreeTransfer(transfer);
    EXPECT_EQ(PortErrorOf([&] { port.ReadText(text, 10); }), peReadFailed);
    ExpectOneReportAndNoSpin();
    ExpectCloseAndReopen();
}

// The host pulls the adapter once the first bytes of a long write reach it,
// without waiting for a request from here: the write is still going on then.
constexpr int kLongWrite = 32 << 20;

TEST_F(RealLineUnplug, MidWriteEndsTheWriteWithAnError)
{
    const std::string big(kLongWrite, 'w');
    RigAsk("UNPLUG-AFTER usb 65536");
    PComTransfer transfer = nullptr;
    NewTransfer(transfer);
    // The pull may come while the write's first step runs, which then fails.
    EXPECT_EQ(PortErrorOf([&] {
                  port.BeginWriteText(big, transfer);
                  port.AwaitTransfer(transfer);
              }),
              peWriteFailed);
    FreeTransfer(transfer);
    EXPECT_EQ(PortErrorOf([&] { port.WriteText("late"); }), peWriteFailed);
    ExpectOneReportAndNoSpin();
    ExpectCloseAndReopen();
}

TEST_F(RealLineUnplug, TransfersPendingAllEndWithAnError)
{
    const std::string big(kLongWrite, 'p');
    std::string first, second;
    PComTransfer reads[2] = {nullptr, nullptr};
    PComTransfer writes[2] = {nullptr, nullptr};
    for (auto& t : reads)
        NewTransfer(t);
    for (auto& t : writes)
        NewTransfer(t);
    RigAsk("UNPLUG-AFTER usb 65536");
    port.BeginReadText(first, 10, reads[0]);
    port.BeginReadText(second, 10, reads[1]);
    // The pull may come while the long write's first step runs, which then
    // fails, as does a write begun after it.
    const int failedAtOnce[2] = {PortErrorOf([&] { port.BeginWriteText(big, writes[0]); }),
                                 PortErrorOf([&] { port.BeginWriteText("queued behind", writes[1]); })};
    for (auto& t : reads) {
        EXPECT_EQ(PortErrorOf([&] { port.AwaitTransfer(t); }), peReadFailed);
        FreeTransfer(t);
    }
    for (int i = 0; i < 2; ++i) {
        const int failed = failedAtOnce[i] != 0 ? failedAtOnce[i] : PortErrorOf([&] { port.AwaitTransfer(writes[i]); });
        EXPECT_EQ(failed, peWriteFailed) << "write " << i;
        FreeTransfer(writes[i]);
    }
    ExpectOneReportAndNoSpin();
    ExpectCloseAndReopen();
}

} // namespace
