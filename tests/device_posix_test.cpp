// The Linux serial device on real pseudo-terminals: the test holds the master
// end and plays the line.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <filesystem>
#include <future>
#include <pthread.h>
#include <thread>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include "PortNames.h"
#include "ReceiveQueue.h"
#include <velt/comport/device/SerialDevice.h>
#include "Termios2.h"
#include "support/PseudoTerminal.h"

using namespace device;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr CommTimeouts kReturnAtOnce{kMaxDword, 0, 0, 0, 0};

DeviceControlBlock LineOf(uint32_t Rate)
{
    DeviceControlBlock dcb;
    dcb.BaudRate = Rate;
    dcb.Flags = kDcbBinary | kDcbDtrControlEnable | kDcbRtsControlEnable;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    return dcb;
}

std::unique_ptr<SerialDevice> OpenPort(const PseudoTerminal& Pty, const DeviceControlBlock& Dcb = LineOf(9600))
{
    int error = -1;
    auto port = OpenSerialDevice(Pty.SlavePath(), error);
    EXPECT_EQ(error, 0);
    if (port) {
        EXPECT_EQ(port->SetState(Dcb), 0);
        EXPECT_EQ(port->SetTimeouts(kReturnAtOnce), 0);
    }
    return port;
}

int OpenDescriptorCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

struct ReadResult {
    int Error;
    std::string Bytes;
};

ReadResult ReadPort(SerialDevice& Port, uint32_t Count)
{
    std::string buffer(Count, '\0');
    IoBlock block;
    uint32_t done = 0;
    int result = Port.StartRead(block, buffer.data(), Count, done);
    if (result == kIoPending)
        result = Port.AwaitTransfer(block, done);
    buffer.resize(result == 0 ? done : 0);
    return {result, buffer};
}

int WritePort(SerialDevice& Port, const std::string& Bytes, uint32_t& Done)
{
    IoBlock block;
    int result = Port.StartWrite(block, Bytes.data(), static_cast<uint32_t>(Bytes.size()), Done);
    if (result == kIoPending)
        result = Port.AwaitTransfer(block, Done);
    return result;
}

uint32_t QueuedBytes(SerialDevice& Port)
{
    uint32_t errors = 0, queued = 0;
    EXPECT_EQ(Port.ClearError(errors, queued), 0);
    return queued;
}

// Runs WaitEvents on a thread of its own, as the event thread does.
// One wait on another thread; its events count as delivered when it goes, as
// the event thread tells the device after each hand-over.
struct EventWait {
    SerialDevice& Device;
    uint32_t Occurred = 0;
    int Error = 0;
    std::future<WaitOutcome> Outcome;
    std::promise<clockid_t> ThreadClock;
    std::shared_future<clockid_t> Clock = ThreadClock.get_future().share();

    EventWait(SerialDevice& Port, const ManualResetEvent& Quit) : Device(Port)
    {
        Outcome = std::async(std::launch::async, [this, &Port, &Quit] {
            clockid_t clock{};
            pthread_getcpuclockid(pthread_self(), &clock);
            ThreadClock.set_value(clock);
            return Port.WaitEvents(Quit, Occurred, Error);
        });
    }
    ~EventWait()
    {
        if (Outcome.valid())
            Outcome.wait();
        Device.EventsDelivered();
    }
    bool Ended(std::chrono::milliseconds Deadline) { return Outcome.wait_for(Deadline) == std::future_status::ready; }
    // The CPU time the waiting thread has used so far; only while it runs.
    double CpuSeconds() const
    {
        timespec t{};
        clock_gettime(Clock.get(), &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
    }
};

} // namespace

// ---- names and opening ------------------------------------------------------

TEST(PortNames, MapToDevicePaths)
{
    EXPECT_EQ(DevicePathFor("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(DevicePathFor("COM1"), "/dev/ttyS0");
    EXPECT_EQ(DevicePathFor("com12"), "/dev/ttyS11");
    EXPECT_EQ(DevicePathFor("CoM3"), "/dev/ttyS2");
    EXPECT_EQ(DevicePathFor("COM0"), "/dev/COM0");
    EXPECT_EQ(DevicePathFor("COMX"), "/dev/COMX");
    EXPECT_EQ(DevicePathFor("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(DevicePathFor(""), "");
    EXPECT_EQ(DevicePathFor("../../etc/passwd"), "");
    EXPECT_EQ(DevicePathFor("serial/../../x"), "");
    EXPECT_EQ(DevicePathFor(std::string("/dev/ttyS0\0/etc", 14)), "");
}

TEST(PortNames, ListsOnlyRealSerialDevicesOfAFakeSysfs)
{
    const auto root = std::filesystem::temp_directory_path() / ("velt-sysfs-" + std::to_string(getpid()));
    std::filesystem::remove_all(root);
    auto device = [&](const std::string& Name, const char* Type) {
        std::filesystem::create_directories(root / Name / "device");
        if (Type)
            std::ofstream(root / Name / "type") << Type << "\n";
    };
    device("ttyS0", "4"); // a real on-board UART
    device("ttyS1", "0"); // a placeholder without hardware
    device("ttyUSB0", nullptr);
    device("ttyACM1", nullptr);
    device("ttyusb9", nullptr);
    std::filesystem::create_directories(root / "tty0"); // a console: no device link
    std::filesystem::create_directories(root / "ptmx");

    std::vector<std::string> names;
    EXPECT_EQ(ListSerialDevicesUnder(root.string(), names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"ttyACM1", "ttyS0", "ttyUSB0", "ttyusb9"}));

    EXPECT_EQ(ListSerialDevicesUnder((root / "missing").string(), names), ENOENT);
    std::filesystem::remove_all(root);
}

TEST(Open, RefusesWhatIsNotATerminalWithoutLeakingADescriptor)
{
    const auto dir = std::filesystem::temp_directory_path() / ("velt-open-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "plain") << "not a line";
    const int before = OpenDescriptorCount();

    int error = 0;
    EXPECT_EQ(OpenSerialDevice((dir / "plain").string(), error), nullptr);
    EXPECT_EQ(error, ENOTTY);
    EXPECT_EQ(OpenSerialDevice(dir.string(), error), nullptr);
    EXPECT_EQ(error, ENOTTY);
    EXPECT_EQ(OpenSerialDevice((dir / "missing").string(), error), nullptr);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(OpenSerialDevice("", error), nullptr);
    EXPECT_EQ(error, ENOENT);

    EXPECT_EQ(OpenDescriptorCount(), before);
    std::filesystem::remove_all(dir);
}

// Opening for reading and writing can act on a device, so only a terminal is
// opened at all: a file or another device is refused before any open.
TEST(Open, LooksAtTheObjectBeforeOpeningIt)
{
    const auto plain = std::filesystem::temp_directory_path() / ("velt-look-" + std::to_string(getpid()));
    std::ofstream(plain) << "not a line";
    for (const std::string& path : {plain.string(), std::string("/dev/null")}) {
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(inotify_add_watch(watch, path.c_str(), IN_OPEN), 0);
        int error = 0;
        EXPECT_EQ(OpenSerialDevice(path, error), nullptr);
        EXPECT_EQ(error, ENOTTY);
        char event[256];
        EXPECT_LT(read(watch, event, sizeof event), 0) << path << " was opened";
        close(watch);
    }
    std::filesystem::remove(plain);
}

TEST(Open, IsExclusiveUntilClosed)
{
    PseudoTerminal pty;
    const int before = OpenDescriptorCount();
    auto first = OpenPort(pty);
    ASSERT_NE(first, nullptr);

    int error = 0;
    EXPECT_EQ(OpenSerialDevice(pty.SlavePath(), error), nullptr);
    EXPECT_EQ(error, EBUSY);

    first.reset();
    EXPECT_EQ(OpenDescriptorCount(), before);
    auto again = OpenSerialDevice(pty.SlavePath(), error);
    EXPECT_NE(again, nullptr);
    EXPECT_EQ(error, 0);
}

// ---- line settings ----------------------------------------------------------

TEST(LineSettings, EveryRateReachesTheLineExactly)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    for (uint32_t rate : {110u, 300u, 9600u, 14400u, 31250u, 56000u, 115200u, 128000u, 256000u, 1000000u}) {
        SCOPED_TRACE(rate);
        ASSERT_EQ(port->SetState(LineOf(rate)), 0);
        Termios2 taken;
        ASSERT_EQ(ReadTermios2(pty.SlaveFd(), taken), 0);
        EXPECT_EQ(OutputRate(taken), rate);
        EXPECT_EQ(InputRate(taken), rate);
    }
}

TEST(LineSettings, RefusesWhatTheLineCannotCarry)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty, LineOf(19200));
    ASSERT_NE(port, nullptr);

    auto sevenBits = LineOf(19200);
    sevenBits.ByteSize = 7;
    EXPECT_EQ(port->SetState(sevenBits), EINVAL); // a pseudo-terminal keeps 8 bits

    auto evenParity = LineOf(19200);
    evenParity.Parity = kEvenParity;
    EXPECT_EQ(port->SetState(evenParity), EINVAL);

    auto oneAndHalf = LineOf(19200);
    oneAndHalf.StopBits = kOne5StopBits; // only with 5 data bits
    EXPECT_EQ(port->SetState(oneAndHalf), EINVAL);

    EXPECT_EQ(port->SetState(LineOf(0)), EINVAL); // rate 0 would hang the line up

    auto nineBits = LineOf(19200);
    nineBits.ByteSize = 9;
    EXPECT_EQ(port->SetState(nineBits), EINVAL);

    // A refused record leaves the line as it was.
    Termios2 taken;
    ASSERT_EQ(ReadTermios2(pty.SlaveFd(), taken), 0);
    EXPECT_EQ(OutputRate(taken), 19200u);
}

TEST(LineSettings, PseudoTerminalHasNoModemLines)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    uint32_t status = 0xFFFF;
    EXPECT_EQ(port->ModemStatus(status), 0);
    EXPECT_EQ(status, 0u);
    auto toggling = LineOf(9600);
    toggling.Flags = (toggling.Flags & ~kDcbRtsControlMask) | kDcbRtsControlToggle;
    EXPECT_EQ(port->SetState(toggling), 0);
}

// ---- reading and the timeouts -----------------------------------------------

TEST(Read, DefaultTimeoutsReturnAtOnceWithWhatIsQueued)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);

    IoBlock block;
    char buffer[16];
    uint32_t done = 99;
    EXPECT_EQ(port->StartRead(block, buffer, sizeof buffer, done), 0); // nothing there: ends at once
    EXPECT_EQ(done, 0u);

    pty.WriteToPort("hello");
    ASSERT_TRUE(WaitUntil([&] { return QueuedBytes(*port) == 5; }, 5s));
    const auto first = ReadPort(*port, 3);
    EXPECT_EQ(first.Error, 0);
    EXPECT_EQ(first.Bytes, "hel");
    EXPECT_EQ(QueuedBytes(*port), 2u);
    EXPECT_EQ(ReadPort(*port, 10).Bytes, "lo");
}

// The queue's storage starts small and grows while nobody reads: a burst
// larger than it (and than the kernel's own buffer) arrives whole, in order,
// the kernel keeping what the queue has not taken yet.
TEST(Read, ABurstBeyondTheQueuesFirstStorageArrivesWhole)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetupQueues(48 * 1024, 0), 0);
    std::string burst(40 * 1024, '\0');
    for (size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<char>('a' + i % 23);
    std::thread writer([&] { pty.WriteToPort(burst); });
    const bool queued = WaitUntil([&] { return QueuedBytes(*port) == burst.size(); }, 10s);
    writer.join();
    ASSERT_TRUE(queued);
    EXPECT_EQ(ReadPort(*port, static_cast<uint32_t>(burst.size())).Bytes, burst);
}

TEST(Read, BlockNeverStartedAwaitsAsZeroBytes)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    IoBlock block;
    uint32_t done = 7;
    EXPECT_EQ(port->AwaitTransfer(block, done), 0);
    EXPECT_EQ(done, 0u);
}

TEST(Read, TotalTimeoutEndsAShortReadNormally)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetTimeouts({0, 0, 200, 0, 0}), 0);
    pty.WriteToPort("abc");

    const auto start = Clock::now();
    const auto result = ReadPort(*port, 10);
    EXPECT_GE(Clock::now() - start, 150ms);
    EXPECT_EQ(result.Error, 0);
    EXPECT_EQ(result.Bytes, "abc");
}

TEST(Read, AllZeroTimeoutsWaitForTheFullCount)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetTimeouts({0, 0, 0, 0, 0}), 0);

    std::string buffer(5, '\0');
    IoBlock block;
    uint32_t done = 0;
    ASSERT_EQ(port->StartRead(block, buffer.data(), 5, done), kIoPending);
    auto awaited = std::async(std::launch::async, [&] { return port->AwaitTransfer(block, done); });
    pty.WriteToPort("ab");
    EXPECT_EQ(awaited.wait_for(100ms), std::future_status::timeout); // 2 of 5 is not enough
    pty.WriteToPort("cde");
    ASSERT_EQ(awaited.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(awaited.get(), 0);
    EXPECT_EQ(done, 5u);
    EXPECT_EQ(buffer, "abcde");
}

TEST(Read, WaitForFirstByteThenReturnAtOnce)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetTimeouts({kMaxDword, kMaxDword, 60000, 0, 0}), 0);

    std::string buffer(10, '\0');
    IoBlock block;
    uint32_t done = 0;
    ASSERT_EQ(port->StartRead(block, buffer.data(), 10, done), kIoPending);
    auto awaited = std::async(std::launch::async, [&] { return port->AwaitTransfer(block, done); });
    pty.WriteToPort("xy");
    ASSERT_EQ(awaited.wait_for(10s), std::future_status::ready); // long before the 60 s
    EXPECT_EQ(awaited.get(), 0);
    EXPECT_GE(done, 1u);
    EXPECT_EQ(buffer.substr(0, done), std::string("xy").substr(0, done));

    // With nothing arriving, the constant ends it.
    ASSERT_EQ(port->SetTimeouts({kMaxDword, kMaxDword, 100, 0, 0}), 0);
    (void)ReadPort(*port, 10); // whatever of "xy" is left
    const auto start = Clock::now();
    const auto empty = ReadPort(*port, 10);
    EXPECT_GE(Clock::now() - start, 80ms);
    EXPECT_EQ(empty.Error, 0);
    EXPECT_EQ(empty.Bytes, "");
}

TEST(Read, IntervalTimeoutEndsAReadAfterAGap)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetTimeouts({100, 0, 0, 0, 0}), 0);
    pty.WriteToPort("burst");
    const auto result = ReadPort(*port, 100); // no total limit: only the gap ends it
    EXPECT_EQ(result.Error, 0);
    EXPECT_EQ(result.Bytes, "burst");
}

TEST(Read, AbortFromAnotherThreadEndsAPendingRead)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetTimeouts({0, 0, 0, 0, 0}), 0); // would wait for ever

    char buffer[8];
    IoBlock block;
    uint32_t done = 0;
    ASSERT_EQ(port->StartRead(block, buffer, sizeof buffer, done), kIoPending);
    std::thread aborter([&] {
        std::this_thread::sleep_for(50ms); // most likely while the read is blocked
        EXPECT_EQ(port->Purge(kPurgeTxAbort | kPurgeRxAbort), 0);
    });
    EXPECT_EQ(port->AwaitTransfer(block, done), AbortedTransferError());
    aborter.join();
    EXPECT_EQ(AbortedTransferError(), ECANCELED);

    // The device goes on working after an abort.
    pty.WriteToPort("ok");
    ASSERT_EQ(port->SetTimeouts(kReturnAtOnce), 0);
    ASSERT_TRUE(WaitUntil([&] { return QueuedBytes(*port) == 2; }, 5s));
    EXPECT_EQ(ReadPort(*port, 2).Bytes, "ok");
}

TEST(Read, DiscardsNulBytesWhenAsked)
{
    PseudoTerminal pty;
    auto dcb = LineOf(9600);
    dcb.Flags |= kDcbNull;
    auto port = OpenPort(pty, dcb);
    ASSERT_NE(port, nullptr);
    pty.WriteToPort(std::string("a\0b\0\0c", 6));
    ASSERT_TRUE(WaitUntil([&] { return QueuedBytes(*port) == 3; }, 5s));
    EXPECT_EQ(ReadPort(*port, 10).Bytes, "abc");
}

TEST(Read, ParityCheckKeepsARealFFIntact)
{
    PseudoTerminal pty;
    auto dcb = LineOf(9600);
    dcb.Flags |= kDcbParity; // the kernel doubles a real 0xFF in the input
    auto port = OpenPort(pty, dcb);
    ASSERT_NE(port, nullptr);
    pty.WriteToPort("\xFF\x01\xFF");
    ASSERT_TRUE(WaitUntil([&] { return QueuedBytes(*port) == 3; }, 5s));
    EXPECT_EQ(ReadPort(*port, 10).Bytes, "\xFF\x01\xFF");
}

// A real line marks breaks even without the parity check (unmarked, a break
// would come as a NUL byte among the data: the real-line rig shows it); a
// pseudo-terminal carries no break, so it goes without marks and their
// decoding. Either way bytes that look like a mark arrive as they were sent.
TEST(Read, BytesLikeABreakMarkAreDataWithAndWithoutMarks)
{
    for (const bool checking : {false, true}) {
        SCOPED_TRACE(checking ? "parity checked" : "no parity check");
        PseudoTerminal pty;
        auto dcb = LineOf(9600);
        if (checking)
            dcb.Flags |= kDcbParity;
        auto port = OpenPort(pty, dcb);
        ASSERT_NE(port, nullptr);
        device::Termios2 line;
        ASSERT_EQ(device::ReadTermios2(pty.SlaveFd(), line), 0);
        EXPECT_EQ(line.InputFlags & (PARMRK | INPCK), checking ? static_cast<uint32_t>(PARMRK | INPCK) : 0u);
        const std::string bytes(
            "a\xFF\x00\x00z\xFF\xFF\x00"
            "b",
            9);
        pty.WriteToPort(bytes);
        ASSERT_TRUE(WaitUntil([&] { return QueuedBytes(*port) == bytes.size(); }, 5s));
        EXPECT_EQ(ReadPort(*port, 20).Bytes, bytes);
    }
}

// ---- writing ----------------------------------------------------------------

TEST(Write, SendsAllBytes)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    uint32_t done = 0;
    EXPECT_EQ(WritePort(*port, "T", done), 0);
    EXPECT_EQ(done, 1u);
    EXPECT_EQ(pty.ReadFromPort(1, 5s), "T");
}

TEST(Write, TimeoutEndsAStuckWriteWithTheSmallerCount)
{
    PseudoTerminal pty; // the master never reads: the line fills up
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetTimeouts({kMaxDword, 0, 0, 0, 200}), 0);
    const std::string big(4 * 1024 * 1024, 'x');
    uint32_t done = 0;
    EXPECT_EQ(WritePort(*port, big, done), 0);
    EXPECT_LT(done, big.size());
}

TEST(Write, AbortEndsAStuckWrite)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetTimeouts({kMaxDword, 0, 0, 0, 0}), 0); // no write limit
    const std::string big(4 * 1024 * 1024, 'x');
    IoBlock block;
    uint32_t done = 0;
    ASSERT_EQ(port->StartWrite(block, big.data(), static_cast<uint32_t>(big.size()), done), kIoPending);
    std::thread aborter([&] { EXPECT_EQ(port->Purge(kPurgeTxAbort), 0); });
    EXPECT_EQ(port->AwaitTransfer(block, done), ECANCELED);
    aborter.join();
}

// ---- events -----------------------------------------------------------------

TEST(Events, ReceivedBytesEndTheWaitAndQuitWins)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetEventMask(kEvRxChar | kEvErr), 0);
    ManualResetEvent quit;

    {
        EventWait wait(*port, quit);
        EXPECT_FALSE(wait.Ended(50ms));
        pty.WriteToPort("z");
        ASSERT_TRUE(wait.Ended(10s));
        EXPECT_EQ(wait.Outcome.get(), WaitOutcome::Events);
        EXPECT_EQ(wait.Occurred, kEvRxChar);
    }
    EXPECT_EQ(ReadPort(*port, 1).Bytes, "z");

    // Bytes pulled in by a status query still count as new for the next wait.
    pty.WriteToPort("q");
    ASSERT_TRUE(WaitUntil([&] { return QueuedBytes(*port) == 1; }, 5s));
    {
        EventWait wait(*port, quit);
        ASSERT_TRUE(wait.Ended(10s));
        EXPECT_EQ(wait.Outcome.get(), WaitOutcome::Events);
        EXPECT_EQ(wait.Occurred, kEvRxChar);
    }

    // Events ready and quit set together: quit wins.
    pty.WriteToPort("w");
    ASSERT_TRUE(WaitUntil([&] { return QueuedBytes(*port) == 2; }, 5s));
    quit.Set();
    uint32_t occurred = 0;
    int error = 0;
    EXPECT_EQ(port->WaitEvents(quit, occurred, error), WaitOutcome::Quit);
}

TEST(Events, OnlyMaskedEventsAreReported)
{
    PseudoTerminal pty;
    auto dcb = LineOf(9600);
    dcb.EvtChar = '\n';
    auto port = OpenPort(pty, dcb);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetEventMask(kEvRxFlag), 0);
    ManualResetEvent quit;

    EventWait wait(*port, quit);
    pty.WriteToPort("no flag here");
    EXPECT_FALSE(wait.Ended(100ms)); // kEvRxChar is not in the mask
    pty.WriteToPort("line\n");
    ASSERT_TRUE(wait.Ended(10s));
    EXPECT_EQ(wait.Outcome.get(), WaitOutcome::Events);
    EXPECT_EQ(wait.Occurred, kEvRxFlag);
}

TEST(Events, TxEmptyFollowsAWrite)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetEventMask(kEvTxEmpty), 0);
    ManualResetEvent quit;
    EventWait wait(*port, quit);
    uint32_t done = 0;
    ASSERT_EQ(WritePort(*port, "V", done), 0);
    ASSERT_TRUE(wait.Ended(10s));
    EXPECT_EQ(wait.Outcome.get(), WaitOutcome::Events);
    EXPECT_EQ(wait.Occurred, kEvTxEmpty);
}

TEST(Events, NewMaskEndsAPendingWait)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetEventMask(kEvRxChar), 0);
    ManualResetEvent quit;
    EventWait wait(*port, quit);
    EXPECT_FALSE(wait.Ended(50ms));
    ASSERT_EQ(port->SetEventMask(0), 0);
    ASSERT_TRUE(wait.Ended(10s));
    EXPECT_EQ(wait.Outcome.get(), WaitOutcome::Events);
    EXPECT_EQ(wait.Occurred, 0u);
}

TEST(Events, HangUpIsReportedOnceAndCostsNoCpu)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->SetEventMask(kEvRxChar | kEvErr), 0);
    pty.WriteToPort("last");
    ASSERT_TRUE(WaitUntil([&] { return QueuedBytes(*port) == 4; }, 5s));
    ManualResetEvent quit;
    {
        EventWait wait(*port, quit); // the queued bytes are news for this wait
        ASSERT_TRUE(wait.Ended(10s));
    }

    pty.CloseMaster();
    {
        EventWait wait(*port, quit);
        ASSERT_TRUE(wait.Ended(10s));
        EXPECT_EQ(wait.Outcome.get(), WaitOutcome::Events);
        EXPECT_EQ(wait.Occurred & kEvErr, kEvErr);
    }
    uint32_t errors = 0, queued = 0;
    EXPECT_EQ(port->ClearError(errors, queued), 0);
    EXPECT_EQ(errors & kCeIoe, kCeIoe);
    EXPECT_EQ(queued, 4u);

    // The dead device is no longer watched: the wait blocks without spinning.
    {
        // A thread that spins gets far more than a tenth of the time even on
        // a loaded machine; one that rests gets none.
        EventWait wait(*port, quit);
        const double cpuBefore = wait.CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(wait.Ended(1000ms));
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_LT(wait.CpuSeconds() - cpuBefore, 0.1 * elapsed.count());
        quit.Set();
        ASSERT_TRUE(wait.Ended(10s));
        EXPECT_EQ(wait.Outcome.get(), WaitOutcome::Quit);
    }

    // Reads give what was queued, then fail; writes fail.
    EXPECT_EQ(ReadPort(*port, 10).Bytes, "last");
    EXPECT_EQ(ReadPort(*port, 10).Error, EIO);
    uint32_t done = 0;
    EXPECT_EQ(WritePort(*port, "T", done), EIO);
}

// ---- the receive queue's decoding -------------------------------------------

TEST(ReceiveQueue, DecodesErrorMarksAcrossFeeds)
{
    ReceiveQueue queue(1024);
    ReceiveOptions options;
    options.ErrorMarks = true;
    options.ReplaceErrors = true;
    options.ErrorChar = '?';
    options.ParityChecked = true;
    queue.Configure(options);

    auto news = queue.Feed("a\xFF", 2); // a mark split between two reads
    news.Errors |= queue
                       .Feed(
                           "\xFF"
                           "b",
                           2)
                       .Errors;
    EXPECT_EQ(news.Errors, 0u);
    const ReceiveNews brk = queue.Feed("\xFF\x00", 2);
    const ReceiveNews brkEnd = queue.Feed("\x00", 1);
    EXPECT_EQ(brk.Errors | brkEnd.Errors, static_cast<uint32_t>(kCeBreak));
    EXPECT_EQ(brkEnd.Events & kEvBreak, kEvBreak);
    const ReceiveNews bad = queue.Feed("\xFF\x00x", 3);
    EXPECT_EQ(bad.Errors, static_cast<uint32_t>(kCeRxParity));
    EXPECT_EQ(bad.Events & kEvErr, kEvErr);

    char out[16];
    const size_t n = queue.Take(out, sizeof out);
    EXPECT_EQ(std::string(out, n),
              "a\xFF"
              "b?");
}

TEST(ReceiveQueue, WithoutParityAMarkedByteIsAFramingError)
{
    ReceiveQueue queue(1024);
    ReceiveOptions options;
    options.ErrorMarks = true;
    queue.Configure(options);
    const ReceiveNews news = queue.Feed(
        "\xFF\x00"
        "c",
        3);
    EXPECT_EQ(news.Errors, static_cast<uint32_t>(kCeFrame));
    char out[4];
    EXPECT_EQ(std::string(out, queue.Take(out, sizeof out)), "c"); // kept: no replacement asked
}

// The queue may be larger than the input size asked for (it has a floor):
// the mark is 80 % of the size asked for.
TEST(ReceiveQueue, EightyPercentFollowsTheSizeAskedForBelowTheCapacity)
{
    ReceiveQueue queue(64 * 1024);
    queue.SetNominalSize(10);
    EXPECT_EQ(queue.Feed("1234567", 7).Events & kEvRx80Full, 0u);
    EXPECT_EQ(queue.Feed("8", 1).Events & kEvRx80Full, kEvRx80Full);
    queue.SetNominalSize(1u << 30); // more than the queue holds: its capacity counts
    queue.Clear();
    const std::string bulk(64 * 1024 - 64 * 1024 / 5 - 1, 'x');
    EXPECT_EQ(queue.Feed(bulk.data(), bulk.size()).Events & kEvRx80Full, 0u);
    EXPECT_EQ(queue.Feed("y", 1).Events & kEvRx80Full, kEvRx80Full);
}

TEST(ReceiveQueue, RaisesEightyPercentOnceWhenCrossing)
{
    ReceiveQueue queue(10);
    EXPECT_EQ(queue.Feed("1234567", 7).Events & kEvRx80Full, 0u);
    EXPECT_EQ(queue.Feed("8", 1).Events & kEvRx80Full, kEvRx80Full);
    EXPECT_EQ(queue.Feed("9", 1).Events & kEvRx80Full, 0u);
    EXPECT_EQ(queue.Room(), 1u);
    char out[10];
    EXPECT_EQ(queue.Take(out, 5), 5u);
    EXPECT_EQ(queue.Count(), 4u);
}

// Without byte-level options bytes enter in bulk, also where the ring wraps,
// straight into the free space or fed, and leave in order; the event
// character and the 80 % mark are still seen, and a new capacity keeps the bytes.
// Storage grows by steps while bytes come: the free span may be shorter
// than the room, and a reader that fills it is given more, up to the capacity.
TEST(ReceiveQueue, GrowsUpToItsCapacityKeepingTheBytesInOrder)
{
    ReceiveQueue queue(64 * 1024);
    EXPECT_LT(queue.FreeSpan().second, queue.Room()); // nothing made at full size up front
    std::string in;
    while (queue.Room() > 0) {
        auto [space, room] = queue.FreeSpan();
        ASSERT_GT(room, 0u);
        ASSERT_LE(room, queue.Room());
        for (size_t i = 0; i < room; ++i)
            space[i] = static_cast<char>('a' + (in.size() + i) % 23);
        in.append(space, room);
        queue.Commit(room);
    }
    EXPECT_EQ(queue.FreeSpan().second, 0u);
    std::string out(in.size(), '\0');
    EXPECT_EQ(queue.Take(out.data(), out.size()), in.size());
    EXPECT_EQ(out, in);
    EXPECT_EQ(queue.Feed("xy", 2).Events, kEvRxChar); // emptied, it takes bytes again
}

TEST(ReceiveQueue, PlainBytesWrapAroundTheRingInOrder)
{
    ReceiveQueue queue(10);
    ReceiveOptions options;
    options.EventChar = '!';
    queue.Configure(options);
    ASSERT_TRUE(queue.Plain());
    char out[16];
    EXPECT_EQ(queue.Feed("abcdef", 6).Events, kEvRxChar);
    EXPECT_EQ(std::string(out, queue.Take(out, 4)), "abcd");
    // Six free at the end, two at the front: a feed of seven wraps.
    const ReceiveNews wrapped = queue.Feed("ghij!kl", 7);
    EXPECT_EQ(wrapped.Events, kEvRxChar | kEvRxFlag | kEvRx80Full);
    EXPECT_EQ(queue.Count(), 9u);
    auto [space, room] = queue.FreeSpan();
    ASSERT_EQ(room, 1u);
    *space = 'm';
    EXPECT_EQ(queue.Commit(1).Events, kEvRxChar);
    EXPECT_TRUE(queue.Full());
    queue.SetCapacity(16);
    EXPECT_EQ(queue.FreeSpan().second, 6u);
    EXPECT_EQ(std::string(out, queue.Take(out, sizeof out)), "efghij!klm");
    EXPECT_EQ(queue.Passing("x!", 2).Events, kEvRxFlag);
}
