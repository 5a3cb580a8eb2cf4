// Transfers that go on while nobody awaits them, on a real pseudo-terminal:
// their end is seen through the record's check and its waitable object, and
// several in flight keep the order in which they began.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComTransfer.h>
#include "support/ComErrors.h"
#include "support/PseudoTerminal.h"
#include "support/ThreadStats.h"

using namespace std::chrono_literals;

namespace {

// A port without an event thread: the tests start and await transfers themselves.
struct PtyPort : TComPort {
    explicit PtyPort(const PseudoTerminal& Pty) : TComPort(nullptr)
    {
        SetPort(Pty.SlavePath());
        SetEvents({});
        Timeouts().SetReadInterval(0); // all zero: reads wait for their full count
    }
};

// A record freed on every path, so that a failed check leaves no transfer
// writing into a buffer that is gone.
struct Record {
    Record() { NewTransfer(Transfer); }
    ~Record() { FreeTransfer(Transfer); }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    PComTransfer Transfer = nullptr;
};

// Waits on the record's waitable object, as a program waiting on several
// things at once would.
bool EndSignalled(PComTransfer Transfer, std::chrono::milliseconds Deadline = 10s)
{
    pollfd watched{static_cast<int>(Transfer->EndWaitable()), POLLIN, 0};
    return poll(&watched, 1, static_cast<int>(Deadline.count())) == 1;
}

int AwaitError(TComPort& Port, PComTransfer Transfer)
{
    const std::optional<EComPort> error = ComErrorOf([&] { Port.AwaitTransfer(Transfer); });
    return error ? error->SystemErrorCode() : 0;
}

std::string Pattern(size_t Size)
{
    std::string bytes(Size, '\0');
    for (size_t i = 0; i < Size; ++i)
        bytes[i] = static_cast<char>(i * 31 + i / 509);
    return bytes;
}

} // namespace

TEST(PendingTransfer, WriteDrainsWhileNobodyAwaits)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Open();
    const std::string sent = Pattern(256 * 1024); // far more than the line's buffers hold
    Record write;
    port.BeginWriteText(sent, write.Transfer);
    EXPECT_FALSE(write.Transfer->Ended());
    // The far end reads steadily; this thread never awaits until all is there.
    const std::string received = pty.ReadFromPort(sent.size(), 30s);
    EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes arrived";
    ASSERT_TRUE(EndSignalled(write.Transfer));
    EXPECT_EQ(port.AwaitTransfer(write.Transfer), static_cast<int32_t>(sent.size()));
}

TEST(PendingTransfer, ReadEndsAtItsCountAndAtItsTimeoutWithoutAnAwait)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Timeouts().SetReadTotalConstant(20000);
    port.Open();
    std::string text;
    Record read;
    EXPECT_TRUE(read.Transfer->Ended()); // nothing started yet
    EXPECT_TRUE(EndSignalled(read.Transfer, 0ms));

    port.BeginReadText(text, 4, read.Transfer);
    EXPECT_FALSE(read.Transfer->Ended());
    EXPECT_FALSE(EndSignalled(read.Transfer, 50ms));
    pty.WriteToPort("ab");
    pty.WriteToPort("cd");
    ASSERT_TRUE(WaitUntil([&] { return read.Transfer->Ended(); }, 10s));
    EXPECT_TRUE(EndSignalled(read.Transfer, 0ms));
    EXPECT_EQ(port.AwaitTransfer(read.Transfer), 4);
    EXPECT_EQ(text, "abcd");

    // Nothing comes: the total timeout, counted from the start, ends it.
    port.Timeouts().SetReadTotalConstant(1000);
    const auto begun = std::chrono::steady_clock::now();
    port.BeginReadText(text, 4, read.Transfer);
    EXPECT_FALSE(EndSignalled(read.Transfer, 0ms)); // the next transfer's event starts clear
    ASSERT_TRUE(EndSignalled(read.Transfer));
    EXPECT_GE(std::chrono::steady_clock::now() - begun, 950ms);
    EXPECT_EQ(port.AwaitTransfer(read.Transfer), 0);
}

TEST(PendingTransfer, ReadsAndWritesInFlightKeepTheirOrderEachDirectionOnItsOwn)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Open();
    // Two writes that the line cannot take at once, and nobody reads yet.
    const std::string first(96 * 1024, 'x');
    const std::string second(96 * 1024, 'y');
    std::string one, two;
    Record writeFirst, writeSecond, readFirst, readSecond;
    port.BeginWriteText(first, writeFirst.Transfer);
    port.BeginWriteText(second, writeSecond.Transfer);
    // Reads go on while the writes are held up.
    port.BeginReadText(one, 3, readFirst.Transfer);
    port.BeginReadText(two, 3, readSecond.Transfer);
    pty.WriteToPort("abcdef");
    ASSERT_TRUE(EndSignalled(readSecond.Transfer));
    ASSERT_TRUE(readFirst.Transfer->Ended());
    EXPECT_FALSE(writeFirst.Transfer->Ended());
    EXPECT_EQ(port.AwaitTransfer(readFirst.Transfer), 3);
    EXPECT_EQ(port.AwaitTransfer(readSecond.Transfer), 3);
    EXPECT_EQ(one, "abc");
    EXPECT_EQ(two, "def");

    const std::string received = pty.ReadFromPort(first.size() + second.size(), 30s);
    ASSERT_TRUE(received == first + second) << "the second write's bytes came before the first's ended";
    EXPECT_EQ(port.AwaitTransfer(writeFirst.Transfer), static_cast<int32_t>(first.size()));
    EXPECT_EQ(port.AwaitTransfer(writeSecond.Transfer), static_cast<int32_t>(second.size()));
}

// A synchronous read moves its queue on itself; a read begun behind it goes
// on without an await once the first has ended.
TEST(PendingTransfer, ReadQueuedBehindASynchronousOneEndsByItself)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Timeouts().SetReadTotalConstant(10000);
    port.Open();
    std::string synchronous, pending;
    std::thread reader([&] { port.ReadText(synchronous, 3); });
    std::this_thread::sleep_for(100ms); // most often the synchronous read is first by now
    Record read;
    port.BeginReadText(pending, 3, read.Transfer);
    pty.WriteToPort("abc");
    reader.join();
    pty.WriteToPort("def");
    ASSERT_TRUE(EndSignalled(read.Transfer));
    EXPECT_EQ(port.AwaitTransfer(read.Transfer), 3);
    // Had the pending read come first, it took the first three bytes.
    EXPECT_EQ(pending, synchronous == "abc" ? "def" : "abc");
}

// A link's handler that throws after a synchronous write began: the write is
// dropped with its record, and the next write goes out behind what the line
// already took.
TEST(PendingTransfer, SynchronousWriteLeftByAnExceptionHoldsNothingUp)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Open();
    TPortLink link;
    link.OnLinkTx = [](TComponent*, bool Sending) {
        if (Sending)
            throw std::runtime_error("link failed");
    };
    port.RegisterLink(&link);
    const std::string stuck(256 * 1024, 's'); // more than the line takes while nobody reads
    EXPECT_THROW(port.WriteText(stuck), std::runtime_error);
    port.UnRegisterLink(&link);
    const std::string sent = "after";
    Record write;
    port.BeginWriteText(sent, write.Transfer);
    std::string received;
    ASSERT_TRUE(WaitUntil(
        [&] {
            received += pty.ReadFromPort(64 * 1024, 10ms);
            return received.size() >= sent.size() && received.substr(received.size() - sent.size()) == sent;
        },
        10s))
        << received.size() << " bytes arrived";
    ASSERT_TRUE(EndSignalled(write.Transfer));
    EXPECT_EQ(port.AwaitTransfer(write.Transfer), static_cast<int32_t>(sent.size()));
}

TEST(PendingTransfer, AbortAndCloseEndWhatNobodyAwaits)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Open();
    const std::string stuck(256 * 1024, 'z');
    std::string text;
    Record write, read, queuedRead;
    port.BeginWriteText(stuck, write.Transfer);
    port.BeginReadText(text, 8, read.Transfer);
    port.BeginReadText(text, 8, queuedRead.Transfer);
    port.AbortTransfers();
    for (PComTransfer transfer : {write.Transfer, read.Transfer, queuedRead.Transfer}) {
        ASSERT_TRUE(EndSignalled(transfer));
        EXPECT_EQ(AwaitError(port, transfer), ECANCELED);
    }

    // Close ends a pending read; a record freed while pending leaves nothing behind.
    {
        Record freedPending;
        port.BeginReadText(text, 8, freedPending.Transfer);
    }
    port.BeginReadText(text, 8, read.Transfer);
    port.Close();
    ASSERT_TRUE(read.Transfer->Ended());
    EXPECT_EQ(AwaitError(port, read.Transfer), EBADF); // the port is closed
    EXPECT_NO_THROW(port.Open());
}

// The pump that moves pending transfers sleeps while none is pending.
TEST(PendingTransfer, NothingWakesOnceTransfersHaveEnded)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Timeouts().SetReadTotalConstant(50);
    port.Open();
    std::string text;
    Record read;
    std::thread([] {}).join(); // the thread checker's own thread starts with the first
    const auto started = ThreadsStartedBy([&] { port.BeginReadText(text, 4, read.Transfer); });
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(port.AwaitTransfer(read.Transfer), 0);
    pty.WriteToPort("bytes nobody reads"); // news for transfers is not news for the pump
    std::this_thread::sleep_for(100ms);
    const long before = Sleeps(started.front());
    std::this_thread::sleep_for(1s);
    EXPECT_LE(Sleeps(started.front()) - before, 1);
}

// Synchronous and pending transfers of several threads on one port, with
// aborts between them and a far end that answers half of what it gets:
// every transfer ends, whoever moves it on. A hang fails by the test's timeout.
TEST(PendingTransfer, MixedTransfersOfSeveralThreadsWithAbortsAllEnd)
{
    PseudoTerminal pty;
    PtyPort port(pty);
    port.Timeouts().SetReadTotalConstant(20);
    port.Timeouts().SetWriteTotalMultiplier(0);
    port.Timeouts().SetWriteTotalConstant(50);
    port.Open();
    std::atomic<bool> stop{false};
    std::thread farEnd([&] {
        char buffer[4096];
        while (!stop) {
            pollfd readable{pty.MasterFd(), POLLIN, 0};
            const ssize_t got = poll(&readable, 1, 10) > 0 ? read(pty.MasterFd(), buffer, sizeof buffer) : 0;
            if (got > 1)
                (void)!write(pty.MasterFd(), buffer, static_cast<size_t>(got / 2));
        }
    });
    std::atomic<long> rounds[3] = {0, 0, 0};
    auto run = [&](int Kind) {
        const std::string bytes(3000, 'w');
        while (!stop) {
            try {
                std::string text;
                if (Kind == 0) {
                    port.WriteText(bytes);
                } else if (Kind == 1) {
                    port.ReadText(text, 100);
                } else {
                    Record write, read;
                    port.BeginWriteText(bytes, write.Transfer);
                    port.BeginReadText(text, 50, read.Transfer);
                    ASSERT_TRUE(EndSignalled(write.Transfer) && EndSignalled(read.Transfer));
                    AwaitError(port, write.Transfer);
                    AwaitError(port, read.Transfer);
                }
            } catch (const EComPort&) { // aborted
            }
            ++rounds[Kind];
        }
    };
    std::vector<std::thread> threads;
    for (int kind = 0; kind < 3; ++kind)
        threads.emplace_back(run, kind);
    threads.emplace_back([&] {
        while (!stop) {
            std::this_thread::sleep_for(7ms);
            port.AbortTransfers();
        }
    });
    std::this_thread::sleep_for(2s);
    stop = true;
    for (auto& thread : threads)
        thread.join();
    farEnd.join();
    for (const auto& count : rounds)
        EXPECT_GT(count.load(), 10);
}
