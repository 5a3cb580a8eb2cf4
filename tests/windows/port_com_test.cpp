// The port on a Windows COM port: under Wine, one that Wine maps to a
// pseudo-terminal whose far end echoes every byte. Where the system lacks a
// call, a probe at run time finds out and the test that needs it is skipped
// with the reason.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComTransfer.h>
#include <velt/comport/framework/MainThreadQueue.h>

#include "ComLine.h"
#include "FarEndControl.h"
#include "support/ComErrors.h"

using namespace std::chrono_literals;

namespace {

// A port on the test line, without an event thread unless a test asks.
struct LinePort : TComPort {
    LinePort() : TComPort(nullptr)
    {
        SetPort(TestPortName());
        SetEvents({});
    }
};

// Reads until Count bytes arrived or the deadline passed.
std::string ReadEcho(TComPort& Port, size_t Count, std::chrono::milliseconds Deadline)
{
    std::string received;
    const auto end = std::chrono::steady_clock::now() + Deadline;
    while (received.size() < Count && std::chrono::steady_clock::now() < end) {
        const int32_t waiting = Port.InQueueCount();
        if (waiting == 0) {
            Sleep(5);
            continue;
        }
        std::string part;
        Port.ReadText(part, waiting);
        received += part;
    }
    return received;
}

// ---- Probes of what the system offers on this line ------------------------------

struct DirectPort {
    DirectPort() : Handle(OpenTestPortDirectly()) {}
    ~DirectPort()
    {
        if (Handle != INVALID_HANDLE_VALUE)
            CloseHandle(Handle);
    }
    HANDLE Handle;
};

// Whether a second opener gets the port while the first holds it.
bool SystemSharesThePort()
{
    DirectPort first;
    DirectPort second;
    return first.Handle != INVALID_HANDLE_VALUE && second.Handle != INVALID_HANDLE_VALUE;
}

// Whether a read of an empty line under these timeouts ends within Limit.
bool ReadEndsWithin(COMMTIMEOUTS Timeouts, DWORD Limit)
{
    DirectPort port;
    if (port.Handle == INVALID_HANDLE_VALUE || !SetCommTimeouts(port.Handle, &Timeouts))
        return false;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    char buffer[10];
    DWORD done = 0;
    bool ended = ReadFile(port.Handle, buffer, sizeof buffer, nullptr, &overlapped) ||
                 (GetLastError() == ERROR_IO_PENDING && WaitForSingleObject(overlapped.hEvent, Limit) == WAIT_OBJECT_0);
    if (!ended)
        CancelIoEx(port.Handle, &overlapped);
    GetOverlappedResult(port.Handle, &overlapped, &done, TRUE);
    CloseHandle(overlapped.hEvent);
    return ended;
}

// The error the system answers a call with on this line (0: it works).
DWORD ModemStatusError()
{
    DirectPort port;
    DWORD status = 0;
    return GetCommModemStatus(port.Handle, &status) ? 0 : GetLastError();
}

DWORD ModemEventWaitError()
{
    DirectPort port;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD occurred = 0;
    DWORD error = 0;
    if (!SetCommMask(port.Handle, EV_CTS | EV_DSR | EV_RLSD | EV_RING))
        error = GetLastError();
    else if (!WaitCommEvent(port.Handle, &occurred, &overlapped) && (error = GetLastError()) == ERROR_IO_PENDING) {
        error = 0;
        SetCommMask(port.Handle, 0);
        GetOverlappedResult(port.Handle, &overlapped, &occurred, TRUE);
    }
    CloseHandle(overlapped.hEvent);
    return error;
}

} // namespace

// ---- Open ------------------------------------------------------------------------

TEST(PortOnCom, OpensAppliesTheDefaultsAndCloses)
{
    REQUIRE_TEST_LINE();
    LinePort port;
    port.Open();
    EXPECT_TRUE(port.Connected());
    port.Close();
    EXPECT_FALSE(port.Connected());
    port.Open(); // the device was really let go
    EXPECT_TRUE(port.Connected());
}

TEST(PortOnCom, MissingPortFailsWithTheSystemsError)
{
    TComPort port(nullptr);
    port.SetPort("COM251");
    const EComPort error = ExpectComError([&] { port.Open(); });
    EXPECT_EQ(error.PortErrorCode(), peOpenDevice);
    EXPECT_EQ(error.SystemErrorCode(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(error.Message(), "Unable to open com port (win error code: 2)");
    EXPECT_FALSE(port.Connected());
}

TEST(PortOnCom, SecondOpenerIsRefused)
{
    REQUIRE_TEST_LINE();
    if (SystemSharesThePort())
        GTEST_SKIP() << "Wine lets a second CreateFile open a COM port that another handle holds unshared";
    LinePort first;
    first.Open();
    LinePort second;
    const EComPort error = ExpectComError([&] { second.Open(); });
    EXPECT_EQ(error.PortErrorCode(), peOpenDevice);
    EXPECT_EQ(error.SystemErrorCode(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(first.Connected());
}

// ---- Settings read back -------------------------------------------------------------

TEST(PortOnCom, RateTheLineCannotMakeIsRefusedAndTheOldOneStays)
{
    REQUIRE_TEST_LINE();
    LinePort port;
    port.SetBaudRate(br115200);
    port.Open();
    // A pseudo-terminal behind Wine makes the standard rates only; the
    // driver takes the record and quietly runs another rate.
    const EComPort error = ExpectComError([&] {
        port.SetBaudRate(brCustom);
        port.SetCustomBaudRate(123457);
    });
    EXPECT_EQ(error.PortErrorCode(), peSetLineFailed);
    EXPECT_EQ(error.SystemErrorCode(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(port.Connected());
    port.WriteText("still");
    EXPECT_EQ(ReadEcho(port, 5, 5s), "still");
}

TEST(PortOnCom, FormatTheLineCannotCarryIsRefused)
{
    REQUIRE_TEST_LINE();
    LinePort port;
    port.Open();
    const EComPort error = ExpectComError([&] { port.SetDataBits(dbSeven); });
    EXPECT_EQ(error.PortErrorCode(), peSetLineFailed);
    EXPECT_EQ(error.SystemErrorCode(), ERROR_INVALID_PARAMETER);
}

// ---- Moving bytes ---------------------------------------------------------------------

TEST(PortOnCom, WrittenBytesComeBackThroughTheEcho)
{
    REQUIRE_TEST_LINE();
    LinePort port;
    port.Open();
    const std::string sent("T\x00\xff\r\n za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87", 17);
    EXPECT_EQ(port.WriteText(sent), static_cast<int32_t>(sent.size()));
    EXPECT_EQ(ReadEcho(port, sent.size(), 5s), sent);
    EXPECT_EQ(port.InQueueCount(), 0);
}

TEST(PortOnCom, LargeWriteArrivesWhole)
{
    REQUIRE_TEST_LINE();
    LinePort port;
    port.Open();
    std::string sent(64 * 1024, '\0');
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<char>(i * 7 + i / 251);
    PComTransfer transfer = nullptr;
    NewTransfer(transfer);
    port.BeginWriteText(sent, transfer);
    const std::string received = ReadEcho(port, sent.size(), 20s);
    EXPECT_EQ(port.AwaitTransfer(transfer), static_cast<int32_t>(sent.size()));
    FreeTransfer(transfer);
    EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes came back";
}

// ---- Timeouts -------------------------------------------------------------------------

TEST(PortOnCom, ReadEndsAtItsTotalTimeoutWithWhatArrived)
{
    REQUIRE_TEST_LINE();
    LinePort port;
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(300);
    port.Open();
    std::string text;
    EXPECT_EQ(port.ReadText(text, 10), 0); // an empty line: no failure, no bytes
    port.WriteText("abc");
    EXPECT_EQ(port.ReadText(text, 10), 3);
    EXPECT_EQ(text, "abc");
}

TEST(PortOnCom, ReadWithIntervalMaxdwordReturnsAtOnce)
{
    REQUIRE_TEST_LINE();
    if (!ReadEndsWithin({MAXDWORD, 0, 0, 0, 0}, 2000))
        GTEST_SKIP() << "Wine keeps a read pending on an empty line under the timeouts MAXDWORD, 0, 0";
    LinePort port; // the default timeouts are these
    port.Open();
    std::string text;
    EXPECT_EQ(port.ReadText(text, 10), 0);
    port.WriteText("xy");
    EXPECT_EQ(ReadEcho(port, 2, 5s), "xy");
}

TEST(PortOnCom, ReadWithBothMaxdwordWaitsUpToTheConstantForTheFirstByte)
{
    REQUIRE_TEST_LINE();
    if (!ReadEndsWithin({MAXDWORD, MAXDWORD, 200, 0, 0}, 2000))
        GTEST_SKIP() << "Wine ignores the constant under the timeouts MAXDWORD, MAXDWORD, constant";
    LinePort port;
    port.Timeouts().SetReadTotalMultiplier(-1);
    port.Timeouts().SetReadTotalConstant(200);
    port.Open();
    std::string text;
    EXPECT_EQ(port.ReadText(text, 10), 0);
}

// ---- Transfers that go on without an await -----------------------------------------

// The record's event is what a program waits on together with other things.
static bool EndSignalled(PComTransfer Transfer, DWORD Milliseconds)
{
    const HANDLE event = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(Transfer->EndWaitable()));
    return WaitForSingleObject(event, Milliseconds) == WAIT_OBJECT_0;
}

TEST(PortOnCom, PendingReadEndsAtItsCountAndAtItsTimeoutWithoutAnAwait)
{
    REQUIRE_TEST_LINE();
    LinePort port;
    port.Timeouts().SetReadInterval(0);
    port.Timeouts().SetReadTotalConstant(20000);
    port.Open();
    std::string text;
    PComTransfer transfer = nullptr;
    NewTransfer(transfer);
    port.BeginReadText(text, 5, transfer);
    EXPECT_FALSE(transfer->Ended());
    port.WriteText("hello"); // comes back through the echo
    EXPECT_TRUE(EndSignalled(transfer, 10000));
    EXPECT_TRUE(transfer->Ended());
    EXPECT_EQ(port.AwaitTransfer(transfer), 5);
    EXPECT_EQ(text, "hello");

    port.Timeouts().SetReadTotalConstant(200);
    port.BeginReadText(text, 5, transfer);
    EXPECT_TRUE(EndSignalled(transfer, 10000)); // nothing came: the timeout ends it
    EXPECT_EQ(port.AwaitTransfer(transfer), 0);
    FreeTransfer(transfer);
}

// ---- Abort ----------------------------------------------------------------------------

TEST(PortOnCom, AbortEndsAPendingReadAsFailed)
{
    REQUIRE_TEST_LINE();
    LinePort port;
    port.Timeouts().SetReadInterval(0); // all zero: wait for the full count
    port.Open();
    std::string text;
    PComTransfer transfer = nullptr;
    NewTransfer(transfer);
    EXPECT_EQ(port.BeginReadText(text, 10, transfer), 0);
    port.AbortTransfers();
    const EComPort error = ExpectComError([&] { port.AwaitTransfer(transfer); });
    FreeTransfer(transfer);
    EXPECT_EQ(error.PortErrorCode(), peReadFailed);
    EXPECT_EQ(error.SystemErrorCode(), ERROR_OPERATION_ABORTED);
    port.Close(); // and closing finds nothing left pending
}

TEST(PortOnCom, RecordFreedWhilePendingLeavesThePortUsable)
{
    REQUIRE_TEST_LINE();
    LinePort port;
    port.Timeouts().SetReadInterval(0);
    port.Open();
    std::string text;
    PComTransfer transfer = nullptr;
    NewTransfer(transfer);
    port.BeginReadText(text, 10, transfer);
    FreeTransfer(transfer);
    port.WriteText("ok");
    port.Timeouts().SetReadInterval(-1);
    EXPECT_EQ(ReadEcho(port, 2, 5s), "ok");
}

// ---- Events ---------------------------------------------------------------------------

TEST(PortOnCom, ReceivedBytesArriveAsRxCharOnTheMainThreadWithAllEventsOn)
{
    REQUIRE_TEST_LINE();
    MainThreadQueue::Instance().SetMainThread();
    TComPort port(nullptr);
    port.SetPort(TestPortName());
    std::string received;
    port.OnRxChar = [&](TComponent*, int32_t Count) {
        std::string part;
        port.ReadText(part, Count);
        received += part;
    };
    port.Open(); // all ten events, handed over to this thread
    port.WriteText("hello");
    EXPECT_TRUE(MainThreadQueue::Instance().ServeUntil([&] { return received.size() >= 5; },
                                                       std::chrono::steady_clock::now() + 5s));
    EXPECT_EQ(received, "hello");
    port.Close();
}

TEST(PortOnCom, WindowHandOverAndEventThreadDeliveryReceiveToo)
{
    REQUIRE_TEST_LINE();
    MainThreadQueue::Instance().SetMainThread();
    for (TSyncMethod method : {smWindowSync, smNone}) {
        TComPort port(nullptr);
        port.SetPort(TestPortName());
        port.SetSyncMethod(method);
        std::mutex lock; // smNone runs the handler on the event thread
        std::string received;
        port.OnRxChar = [&](TComponent*, int32_t Count) {
            std::string part;
            port.ReadText(part, Count);
            {
                std::lock_guard guard(lock);
                received += part;
            }
            MainThreadQueue::Instance().WakeWaiters();
        };
        port.Open();
        port.WriteText("hello");
        const auto arrived = [&] {
            std::lock_guard guard(lock);
            return received.size() >= 5;
        };
        EXPECT_TRUE(MainThreadQueue::Instance().ServeUntil(arrived, std::chrono::steady_clock::now() + 5s))
            << "sync method " << int(method);
        port.Close();
        EXPECT_EQ(received, "hello") << "sync method " << int(method);
    }
}

TEST(PortOnCom, MainLoopThatWaitsOnTheDeviceDeliversLineEvents)
{
    REQUIRE_TEST_LINE();
    MainThreadQueue& queue = MainThreadQueue::Instance();
    queue.SetMainThread();
    queue.ServeAsMainLoop();
    TComPort port(nullptr);
    port.SetPort(TestPortName());
    std::string received;
    DWORD handlerThread = 0;
    port.OnRxChar = [&](TComponent*, int32_t Count) {
        std::string part;
        port.ReadText(part, Count);
        received += part;
        handlerThread = GetCurrentThreadId();
    };
    port.Open();
    port.WriteText("loop");
    EXPECT_TRUE(queue.ServeUntil([&] { return received.size() >= 4; }, std::chrono::steady_clock::now() + 5s));
    EXPECT_EQ(received, "loop");
    EXPECT_EQ(handlerThread, GetCurrentThreadId());
    port.Close();
    queue.SetLoopWatcher(nullptr);
}

// A subclass's own TriggerTxEmpty is reached with no handler and no call
// that asks for it: through the thread and window hand-overs and where the
// main loop waits on the device. Wine reports the end of a write only when
// it comes while a wait is pending, which a one-byte write may outrun: the
// test writes again until it hears one (an override never reached never
// hears any).
TEST(PortOnCom, ASubclassTriggerTxEmptyIsCalledWithNoHandler)
{
    REQUIRE_TEST_LINE();
    struct TxEmptyPort : TComPort {
        using TComPort::TComPort;
        int Calls = 0;
        void TriggerTxEmpty() override
        {
            ++Calls;
            MainThreadQueue::Instance().WakeWaiters(); // a window message alone does not end the wait
        }
    };
    MainThreadQueue& queue = MainThreadQueue::Instance();
    queue.SetMainThread();
    for (const bool loopWaits : {false, true})
        for (TSyncMethod method : {smThreadSync, smWindowSync}) {
            if (loopWaits)
                queue.ServeAsMainLoop();
            TxEmptyPort port(nullptr);
            port.SetPort(TestPortName());
            port.SetSyncMethod(method);
            port.Open();
            for (int write = 0; write < 20 && port.Calls == 0; ++write) {
                port.WriteText("a");
                queue.ServeUntil([&] { return port.Calls >= 1; }, std::chrono::steady_clock::now() + 500ms);
            }
            EXPECT_GE(port.Calls, 1) << "sync method " << int(method) << (loopWaits ? ", the loop waits" : "");
            port.Close();
            queue.SetLoopWatcher(nullptr);
        }
}

TEST(PortOnCom, ClosingEndsTheEventThreadWhileItWaits)
{
    REQUIRE_TEST_LINE();
    TComPort port(nullptr);
    port.SetPort(TestPortName());
    port.SetEvents({evRxChar});
    port.Open();
    port.Close();
    EXPECT_FALSE(port.Connected());
    port.Open();
    port.Close();
}

TEST(PortOnCom, ModemLinesAreRead)
{
    REQUIRE_TEST_LINE();
    if (const DWORD error = ModemStatusError(); error != 0)
        GTEST_SKIP() << "Wine answers GetCommModemStatus on a pseudo-terminal with error " << error;
    LinePort port;
    port.Open();
    EXPECT_NO_THROW(port.LineSignals());
}

TEST(PortOnCom, ModemLineEventsCanBeWaitedFor)
{
    REQUIRE_TEST_LINE();
    if (const DWORD error = ModemEventWaitError(); error != 0)
        GTEST_SKIP() << "Wine answers WaitCommEvent for the modem-line events on a pseudo-terminal with error "
                     << error;
    TComPort port(nullptr);
    port.SetPort(TestPortName());
    port.SetEvents({evCTS, evDSR, evRLSD, evRing});
    port.Open();
    port.Close();
}

// The far end goes away: OnError hears ceIO once, through the event thread's
// hand-over and through a main loop that waits on the device, and a write
// then fails.
TEST(PortOnCom, AHangUpIsOneLineErrorOnBothRoutes)
{
    REQUIRE_TEST_LINE();
    MainThreadQueue& queue = MainThreadQueue::Instance();
    queue.SetMainThread();
    for (const bool mainLoop : {false, true}) {
        FarEndControl farEnd;
        REQUIRE_FAR_END_CONTROL(farEnd);
        if (mainLoop)
            queue.ServeAsMainLoop();
        TComPort port(nullptr);
        port.SetPort(TestPortName());
        int lineGone = 0;
        port.OnError = [&](TComponent*, TComErrors Errors) { lineGone += Errors.Contains(ceIO) ? 1 : 0; };
        port.Open();
        ASSERT_TRUE(farEnd.HangUp());
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        EXPECT_TRUE(queue.ServeUntil([&] { return lineGone > 0; }, deadline)) << (mainLoop ? "main loop" : "thread");
        queue.ServeUntil([] { return false; }, std::chrono::steady_clock::now() + 300ms);
        EXPECT_EQ(lineGone, 1) << (mainLoop ? "main loop" : "thread");
        EXPECT_THROW(port.WriteText("x"), EComPort);
        port.Close();
        if (mainLoop)
            queue.SetLoopWatcher(nullptr);
        ASSERT_TRUE(farEnd.BringBack());
    }
}
