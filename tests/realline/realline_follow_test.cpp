// FTDI adapters of the guest's USB controller, plugged in, pulled out and
// plugged back by the host, some with serial numbers of their own, some
// sharing one: what the details list says about them, velt-cli following
// its adapter to a new name (and guessing nothing when two could be it, or
// writing nothing to another adapter that took its name), a meter session
// that sees the line go at once and reads again after the plug, and a soak
// of reads with unplugs at random moments.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/PortDetails.h>
#include <velt/comport/framework/MainThreadQueue.h>
#include "DeadlineTimers.h"
#include "MeterPort.h"
#include "MeterSession.h"
#include "SessionLoop.h"
#include "WaitDescriptor.h"
#include "realline/RigLine.h"
#include "support/ChildProgram.h"
#include "support/PseudoTerminal.h"
#include "support/TempConfigHome.h"
#include "support/ThreadStats.h"

using namespace std::chrono_literals;

namespace {

// The adapter the rig plays the meter on ("ftdi", on the line "usb") and a
// second one nobody plays ("spare").
constexpr const char* kMeterAdapter = "ftdi";
constexpr const char* kSpareAdapter = "spare";

std::vector<TPortDetails> UsbPorts()
{
    std::vector<TPortDetails> all, usb;
    ListPortDetails(all);
    for (const TPortDetails& port : all)
        if (port.IsUsb)
            usb.push_back(port);
    return usb;
}

const TPortDetails* AtLocation(const std::vector<TPortDetails>& Ports, const std::string& Location)
{
    for (const TPortDetails& port : Ports)
        if (port.Location == Location)
            return &port;
    return nullptr;
}

// Plugs an adapter in at USB port Port (location "1-<Port>") and waits
// until the kernel lists it and its node opens.
void Plug(const std::string& Id, const std::string& Serial, int Port)
{
    RigAsk("ADAPTER-ADD " + Id + " " + Serial + " " + std::to_string(Port));
    const std::string location = "1-" + std::to_string(Port);
    EXPECT_TRUE(WaitUntil(
        [&] {
            const TPortDetails* port = AtLocation(UsbPorts(), location);
            if (port == nullptr)
                return false;
            const int fd = open(port->DevicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                close(fd);
            return fd >= 0;
        },
        30s))
        << Id << " did not appear at " << location;
}

void Unplug(const std::string& Id) { RigAsk("ADAPTER-DEL " + Id); }

// The name the kernel gave the adapter at Location ("" when none is there).
std::string NameAt(const std::string& Location)
{
    const std::vector<TPortDetails> ports = UsbPorts();
    const TPortDetails* port = AtLocation(ports, Location);
    return port != nullptr ? port->Name : "";
}

class RealLineFollow : public TempConfigHomeTest {
protected:
    void SetUp() override
    {
        SKIP_OUTSIDE_RIG();
        TempConfigHomeTest::SetUp();
    }
    // The rig as every other test expects it: the meter's adapter alone,
    // with its own serial number, as ttyUSB0 at 1-1.
    void TearDown() override
    {
        if (IsSkipped())
            return;
        RigAsk("METER usb stop");
        RigAsk(std::string("ADAPTER-DEL ") + kSpareAdapter);
        RigAsk(std::string("ADAPTER-DEL ") + kMeterAdapter);
        EXPECT_TRUE(WaitUntil([] { return UsbPorts().empty(); }, 30s));
        RigPlug();
        TempConfigHomeTest::TearDown();
    }

    void StorePort(const std::string& Port, const std::string& Identity)
    {
        WriteFile(RegistryFile(), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velt4\\ComPort]\r\n\"Port\"=\"" +
                                      Port + "\"\r\n\"BaudRate\"=\"9600\"\r\n\"AdapterIdentity\"=\"" + Identity +
                                      "\"\r\n\r\n");
    }
    static Finished Cli(const std::vector<std::string>& Arguments) { return RunProgram(VELT_CLI_PATH, Arguments); }
};

} // namespace

TEST_F(RealLineFollow, DetailsTellTheAdaptersAndTheBuiltInUart)
{
    TPortListWatcher watcher;
    ASSERT_TRUE(watcher.Active());
    watcher.Changed();
    Plug(kSpareAdapter, "VELT-B", 2);
    // The kernel's notice came while the adapter was being plugged in.
    pollfd ready{platform::DescriptorOf(watcher.Handle()), POLLIN, 0};
    EXPECT_EQ(poll(&ready, 1, 5000), 1);
    EXPECT_TRUE(watcher.Changed());
    EXPECT_EQ(poll(&ready, 1, 0), 0); // taken: no longer signalled

    std::vector<TPortDetails> all;
    ListPortDetails(all);
    for (const TPortDetails& port : all)
        std::cout << "details: " << DescribePort(port) << " | " << PortIdentity(port) << "\n";
    const Finished table = Cli({"ports"});
    std::cout << table.Out;
    EXPECT_EQ(table.ExitCode, 0) << table.Err;

    const std::vector<TPortDetails> usb = UsbPorts();
    ASSERT_EQ(usb.size(), 2u);
    for (const TPortDetails& port : usb) {
        EXPECT_EQ(port.VendorId, 0x0403);
        EXPECT_EQ(port.ProductId, 0x6001);
        EXPECT_EQ(port.Description, "QEMU USB SERIAL");
    }
    ASSERT_NE(AtLocation(usb, "1-1"), nullptr);
    ASSERT_NE(AtLocation(usb, "1-2"), nullptr);
    EXPECT_EQ(AtLocation(usb, "1-1")->SerialNumber, "VELT-A");
    EXPECT_EQ(AtLocation(usb, "1-2")->SerialNumber, "VELT-B");
    const std::string uart = RigDevice(RigLineKind::Uart).substr(5); // "ttyS1"
    bool uartSeen = false;
    for (const TPortDetails& port : all)
        if (port.Name == uart) {
            uartSeen = true;
            EXPECT_EQ(port.Kind, pkBuiltInUart);
        }
    EXPECT_TRUE(uartSeen);
}

// The adapter's latency timer as the details give it: the driver's 16 ms,
// 1 ms while a port that asked for low latency has it open, 16 ms again
// once that port is closed.
TEST_F(RealLineFollow, LowLatencySetsTheAdapterTimerToOneUntilTheClose)
{
    const std::string device = RigDevice(RigLineKind::Ftdi);
    const auto timer = [&] {
        for (const TPortDetails& port : UsbPorts())
            if (port.DevicePath == device)
                return port.LatencyTimer;
        return 0u;
    };
    // QEMU's FTDI adapter starts with a timer of 0, where a real one has
    // 16 ms: it is given the real one's, as root may.
    const std::string attribute = "/sys/class/tty/" + device.substr(5) + "/device/latency_timer";
    if (timer() == 0 && !(std::ofstream(attribute) << "16\n" << std::flush))
        GTEST_SKIP() << "the emulated FTDI adapter's driver shows no latency_timer that can be set";
    EXPECT_EQ(timer(), 16u);
    TComPort port(nullptr);
    port.SetPort(device);
    port.SetLowLatency(true);
    port.Open();
    EXPECT_EQ(timer(), 1u);
    port.Close();
    EXPECT_EQ(timer(), 16u);
}

// velt-cli ports names another process that holds the adapter open, and so
// does the message of an open that it refuses (it has locked the adapter as
// our own open does).
TEST_F(RealLineFollow, PortsNamesTheProcessThatHoldsTheAdapter)
{
    const std::string device = RigDevice(RigLineKind::Ftdi);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_NAME, "velt-holder");
        const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const char opened = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
        static_cast<void>(write(ready[1], &opened, 1));
        pause();
        _exit(0);
    }
    char opened = 0;
    const bool holding = read(ready[0], &opened, 1) == 1 && opened == 'y';
    const Finished lines = Cli({"ports", "--tsv"});
    const Finished busy = Cli({"--port", device, "last"});
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    ASSERT_TRUE(holding);
    std::cout << lines.Out << busy.Err;
    const std::string holder = "velt-holder (PID " + std::to_string(child) + ")";
    EXPECT_NE(lines.Out.find("\t" + device + "\t" + holder + "\t"), std::string::npos) << lines.Out;
    EXPECT_EQ(busy.ExitCode, 2);
    EXPECT_NE(busy.Err.find("używany przez: " + holder), std::string::npos) << busy.Err;
}

TEST_F(RealLineFollow, NamesSwappedByReplugInTheOtherOrderAreFollowed)
{
    Plug(kSpareAdapter, "VELT-B", 2);
    const std::vector<TPortDetails> before = UsbPorts();
    ASSERT_NE(AtLocation(before, "1-1"), nullptr);
    const TPortDetails meterAdapter = *AtLocation(before, "1-1");
    StorePort(meterAdapter.Name, PortIdentity(meterAdapter));

    Unplug(kMeterAdapter);
    Unplug(kSpareAdapter);
    Plug(kSpareAdapter, "VELT-B", 2);
    Plug(kMeterAdapter, "VELT-A", 1);
    const std::string now = NameAt("1-1");
    ASSERT_NE(now, meterAdapter.Name) << "the names did not swap";

    RigAsk("METER usb");
    const Finished last = Cli({"last"});
    std::cout << "velt-cli: " << last.Err;
    EXPECT_EQ(last.ExitCode, 0) << last.Err;
    EXPECT_EQ(last.Out.rfind("Ostatni pomiar", 0), 0u) << last.Out;
    EXPECT_NE(last.Err.find("Adapter miernika jest teraz na porcie " + now + " (wcześniej " + meterAdapter.Name + ")"),
              std::string::npos)
        << last.Err;
}

TEST_F(RealLineFollow, TwinsWithOneSerialAreToldApartByLocationAndNeverGuessed)
{
    Unplug(kMeterAdapter);
    Plug(kMeterAdapter, "TWIN", 1);
    Plug(kSpareAdapter, "TWIN", 2);
    const std::vector<TPortDetails> before = UsbPorts();
    ASSERT_NE(AtLocation(before, "1-1"), nullptr);
    const TPortDetails meterAdapter = *AtLocation(before, "1-1");
    StorePort(meterAdapter.Name, PortIdentity(meterAdapter));
    RigAsk("METER usb");

    // In the other order at the same places: the one at 1-1 is the meter's.
    Unplug(kMeterAdapter);
    Unplug(kSpareAdapter);
    Plug(kSpareAdapter, "TWIN", 2);
    Plug(kMeterAdapter, "TWIN", 1);
    const Finished followed = Cli({"last"});
    std::cout << "velt-cli: " << followed.Err;
    EXPECT_EQ(followed.ExitCode, 0) << followed.Err;
    EXPECT_NE(followed.Err.find("Adapter miernika jest teraz na porcie " + NameAt("1-1")), std::string::npos)
        << followed.Err;

    // Both moved to other USB ports: either could be it, none is opened.
    Unplug(kMeterAdapter);
    Unplug(kSpareAdapter);
    Plug(kMeterAdapter, "TWIN", 3);
    Plug(kSpareAdapter, "TWIN", 4);
    const Finished ambiguous = Cli({"last"});
    std::cout << "velt-cli: " << ambiguous.Err;
    EXPECT_EQ(ambiguous.ExitCode, 2) << ambiguous.Err;
    EXPECT_EQ(ambiguous.Out, "");
    EXPECT_NE(ambiguous.Err.find("Nie można rozpoznać"), std::string::npos) << ambiguous.Err;
}

namespace {

// What a meter session shows, as the window would: the answers, and each
// report as a word.
class SessionRecord : public MeterView {
public:
    std::vector<std::string> Answers;
    int Gone = 0;
    int NoAnswer = 0;
    int Failed = 0; // the port did not open, or a write failed
    int Missing = 0;
    bool Busy = false;

    void ClearText() override {}
    void SetCommandsEnabled(bool Enabled) override { Busy = !Enabled; }
    void ShowTransfer() override {}
    void StepProgress(int) override {}
    void EndTransfer() override { Busy = false; }
    void ShowAnswer(const std::string& Bytes) override { Answers.push_back(Bytes); }
    void ReportAdapterGone(const std::string&) override { ++Gone; }
    void ReportAdapterMissing(const MissingAdapter&) override { ++Missing; }
    void ReportOpenFailed(const PortOpenFailure&) override { ++Failed; }
    void ReportNoAnswer() override { ++NoAnswer; }
    void ReportClockSet() override {}
    void ReportClockFailed() override {}
};

// A meter session on the rig's adapter, run on this thread as velt-cli runs
// it: the port's hand-overs served here, the timers on the steady clock.
class LiveSession {
public:
    LiveSession() : FTimers(FClock), FSession(FPort, FTimers.Timers(), View, [] { return CalendarTime{}; })
    {
        MainThreadQueue::Instance().SetMainThread();
        MainThreadQueue::Instance().ServeAsMainLoop();
        FPort.SetPort(NameAt("1-1"));
    }
    LiveSession(const LiveSession&) = delete;
    LiveSession& operator=(const LiveSession&) = delete;

    // Sends a request and runs the session until the transfer is over.
    // False when it did not end within the deadline.
    bool Read(const std::string& Request, std::chrono::seconds Deadline = 30s)
    {
        try {
            FSession.StartRead(Request);
        } catch (const std::exception&) {
            ++View.Failed; // the adapter is out: the watchdog ends the read
        }
        return RunWhile([this] { return View.Busy; }, Deadline);
    }
    // Serves the port and the timers while Busy holds, up to the deadline.
    bool RunWhile(const std::function<bool()>& Busy, std::chrono::seconds Deadline)
    {
        const auto end = std::chrono::steady_clock::now() + Deadline;
        SessionLoop loop(FSession, FTimers);
        while (Busy() && std::chrono::steady_clock::now() < end) {
            if (!loop.RunUntil([&] { return !Busy() || std::chrono::steady_clock::now() >= end; }))
                MainThreadQueue::Instance().ServeUntil([&] { return !Busy() || FTimers.NextDeadline().has_value(); },
                                                       std::min(end, std::chrono::steady_clock::now() + 100ms));
        }
        return !Busy();
    }
    bool Connected() const { return FPort.Connected(); }
    // The port as the window stores it: a name and the adapter's identity.
    void UseStored(const std::string& Name, const std::string& Identity)
    {
        FPort.SetPort(Name);
        FPort.SetAdapterIdentity(Identity);
    }
    const std::string& Identity() const { return FPort.AdapterIdentity(); }

    SessionRecord View;

private:
    TMeterPort FPort;
    SteadyMeterClock FClock;
    DeadlineTimers FTimers;
    MeterSession FSession;
};

// One answer to "last", whole or cut short, and never two run together.
bool IsOneAnswer(const std::string& Text) { return Text.find("Pomiar nr") == Text.rfind("Pomiar nr"); }

} // namespace

TEST_F(RealLineFollow, SessionSeesTheUnplugAtOnceAndReadsAgainAfterThePlug)
{
    RigAsk("METER usb");
    LiveSession live;
    ASSERT_TRUE(live.Read("T"));
    ASSERT_EQ(live.View.Answers.size(), 1u);

    // Idle: the session hears of it without a command, and closes the port.
    RigUnplug();
    EXPECT_TRUE(live.RunWhile([&] { return live.View.Gone == 0 || live.Connected(); }, 10s));
    EXPECT_EQ(live.View.Gone, 1);
    EXPECT_FALSE(live.Connected());
    RigPlug();
    ASSERT_TRUE(live.Read("T"));
    EXPECT_EQ(live.View.Answers.size(), 2u);

    // Mid-answer: what came is shown, the read ends, the next one works.
    RigAsk("METER usb --split 400 --bursts 4 --unplug-at-burst 2");
    ASSERT_TRUE(live.Read("V"));
    EXPECT_EQ(live.View.Gone, 2);
    ASSERT_EQ(live.View.Answers.size(), 3u);
    EXPECT_EQ(live.View.Answers.back().find("Pomiar nr 28"), std::string::npos); // only the first burst
    RigPlug();
    RigAsk("METER usb");
    ASSERT_TRUE(live.Read("T"));
    EXPECT_EQ(live.View.Answers.size(), 4u);
    EXPECT_EQ(live.View.NoAnswer, 0);
}

// The meter's adapter pulled out and another adapter plugged in under its
// old name: neither velt-cli (a read, the clock) nor the window's session
// sends it a byte, and the session keeps the meter's identity. The meter's
// adapter back (under another name now): both read from it, and the
// identity is still the meter's.
TEST_F(RealLineFollow, AnotherAdapterUnderTheMissingAdaptersNameGetsNothing)
{
    const std::vector<TPortDetails> before = UsbPorts();
    ASSERT_NE(AtLocation(before, "1-1"), nullptr);
    const TPortDetails meterAdapter = *AtLocation(before, "1-1");
    const std::string identity = PortIdentity(meterAdapter);
    StorePort(meterAdapter.Name, identity);
    const std::string stored = ReadFile(RegistryFile());

    Unplug(kMeterAdapter);
    Plug(kSpareAdapter, "VELT-B", 2);
    ASSERT_EQ(NameAt("1-2"), meterAdapter.Name) << "the other adapter did not take the name";
    RigAsk("CLEAR spare");
    for (const char* command : {"last", "set-clock"}) {
        const Finished refused = Cli({command});
        std::cout << "velt-cli " << command << ": " << refused.Err;
        EXPECT_EQ(refused.ExitCode, 2) << refused.Err;
        EXPECT_NE(refused.Err.find("Nie znaleziono adaptera miernika (adapter USB 0403:6001, nr VELT-A"),
                  std::string::npos)
            << refused.Err;
        EXPECT_NE(refused.Err.find("nr VELT-B, USB 1-2"), std::string::npos) << refused.Err; // what is there now
    }
    {
        LiveSession live;
        live.UseStored(meterAdapter.Name, identity);
        EXPECT_TRUE(live.Read("T", 5s));
        EXPECT_EQ(live.View.Missing, 1);
        EXPECT_FALSE(live.Connected());
        EXPECT_EQ(live.Identity(), identity);
    }
    EXPECT_EQ(RigAsk("TAKE spare 64 1000"), "");

    Plug(kMeterAdapter, "VELT-A", 1);
    RigAsk("METER usb");
    const Finished last = Cli({"last"});
    EXPECT_EQ(last.ExitCode, 0) << last.Err;
    EXPECT_EQ(last.Out.rfind("Ostatni pomiar", 0), 0u) << last.Out;
    EXPECT_EQ(ReadFile(RegistryFile()), stored);
    LiveSession live;
    live.UseStored(meterAdapter.Name, identity);
    ASSERT_TRUE(live.Read("T"));
    EXPECT_EQ(live.View.Answers.size(), 1u);
    EXPECT_EQ(live.Identity(), identity);
    EXPECT_EQ(RigAsk("TAKE spare 64 100"), "");
}

// Reads one after another while the adapter is pulled out and plugged back
// at random moments: each read ends (an answer, no answer, the line gone, or
// the adapter not there), no answer holds two, and no descriptor or thread is left behind.
TEST_F(RealLineFollow, SoakOfReadsWithUnplugsAtRandomMoments)
{
    const bool full = std::getenv("VELT_RIG_SOAK") != nullptr && std::string(std::getenv("VELT_RIG_SOAK")) == "full";
    const int reads = full ? 200 : 12;
    const int unplugs = full ? 20 : 3;
    RigAsk("METER usb");
    {
        // What lives as long as the process (the main-thread queue's own
        // wake-up) is made before the count starts.
        LiveSession warmUp;
        ASSERT_TRUE(warmUp.Read("T"));
    }
    const size_t descriptors = DirectoryEntries("/proc/self/fd").size();
    const size_t threads = DirectoryEntries("/proc/self/task").size();
    {
        LiveSession live;
        std::mt19937 random(20261208);
        std::uniform_int_distribution<int> pause(0, 1500);
        std::thread plugger([&] {
            for (int i = 0; i < unplugs; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(reads * 1100 / unplugs / 2 + pause(random)));
                RigUnplug();
                std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
                // Back under the name the kernel gives it: the old one may be held still.
                RigAsk("PLUG");
            }
        });
        int answered = 0, failed = 0;
        for (int i = 0; i < reads; ++i) {
            const size_t shown = live.View.Answers.size();
            const int gone = live.View.Gone, silent = live.View.NoAnswer, refused = live.View.Failed,
                      missing = live.View.Missing;
            ASSERT_TRUE(live.Read("T")) << "read " << i << " did not end";
            if (live.View.Answers.size() > shown) {
                EXPECT_TRUE(IsOneAnswer(live.View.Answers.back())) << "read " << i << ": " << live.View.Answers.back();
                ++answered;
            } else {
                EXPECT_TRUE(live.View.Gone > gone || live.View.NoAnswer > silent || live.View.Failed > refused ||
                            live.View.Missing > missing)
                    << "read " << i << " said nothing";
                ++failed;
            }
            if (!live.Connected())
                std::this_thread::sleep_for(100ms); // the adapter may be out: the next read opens it again
        }
        plugger.join();
        std::cout << "soak: " << reads << " reads, " << unplugs << " unplugs: " << answered << " answered, " << failed
                  << " failed with a message, " << live.View.Gone << " unplugs seen\n";
        EXPECT_GT(answered, reads / 2);
    }
    EXPECT_EQ(DirectoryEntries("/proc/self/fd").size(), descriptors);
    // A joined thread may still be listed for a moment while the kernel reaps it.
    EXPECT_TRUE(WaitUntil([&] { return DirectoryEntries("/proc/self/task").size() == threads; }, 5s))
        << DirectoryEntries("/proc/self/task").size() << " threads, " << threads << " before";
}
