// What a port is: the details read from a sysfs tree of real files, the
// identity that finds an adapter again, and the decision where a stored
// adapter went.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <velt/comport/PortDetails.h>
#include <velt/comport/device/PortFacts.h>
#include <velt/comport/device/SerialDevice.h>
#include "SysfsPortFacts.h"
#include "support/ListedPorts.h"

namespace {

namespace fs = std::filesystem;

// A sysfs tree as the kernel lays it out: class/tty/<name>/device links into
// devices/, a USB device directory ("1-1.2") above the adapter's tty.
class SysfsTree {
public:
    SysfsTree() : FRoot(fs::temp_directory_path() / ("velt-sysfs-" + std::to_string(getpid())))
    {
        fs::remove_all(FRoot);
        fs::create_directories(FRoot / "class/tty");
    }
    ~SysfsTree() { fs::remove_all(FRoot); }
    SysfsTree(const SysfsTree&) = delete;
    SysfsTree& operator=(const SysfsTree&) = delete;

    void AddTty(const std::string& Name, const fs::path& DeviceDir)
    {
        fs::create_directories(FRoot / "devices" / DeviceDir);
        fs::create_directories(FRoot / "class/tty" / Name);
        fs::create_directory_symlink(FRoot / "devices" / DeviceDir, FRoot / "class/tty" / Name / "device");
    }
    void Write(const fs::path& File, const std::string& Text)
    {
        std::ofstream(FRoot / "devices" / File) << Text << "\n";
    }
    std::string TtyClass() const { return (FRoot / "class/tty").string(); }

private:
    fs::path FRoot;
};

TPortDetails Uart(const std::string& Name)
{
    TPortDetails port;
    port.Name = Name;
    port.Kind = pkBuiltInUart;
    return port;
}

} // namespace

TEST(PortDetails, SysfsTellsAdaptersFromBuiltInUartsAndOthers)
{
    SysfsTree sys;
    const fs::path usb = "pci0000:00/0000:00:04.0/usb1/1-1/1-1.2";
    sys.AddTty("ttyUSB0", usb / "1-1.2:1.0/ttyUSB0");
    sys.Write(usb / "idVendor", "0403");
    sys.Write(usb / "idProduct", "6001");
    sys.Write(usb / "serial", "A1B2\x1b[2J");
    sys.Write(usb / "product", "FT232R USB UART");
    sys.Write(usb / "manufacturer", "FTDI");
    sys.Write(usb / "1-1.2:1.0/ttyUSB0/latency_timer", "16");
    sys.AddTty("ttyS0", "pnp0/00:05");
    sys.AddTty("ttyGS0", "gadget");

    const device::PortFacts adapter = device::SysfsPortFacts(sys.TtyClass(), "ttyUSB0");
    EXPECT_EQ(adapter.Kind, device::PortKind::Usb);
    EXPECT_EQ(adapter.VendorId, 0x0403);
    EXPECT_EQ(adapter.ProductId, 0x6001);
    EXPECT_EQ(adapter.SerialNumber, "A1B2?[2J"); // no control character of the device's choosing
    EXPECT_EQ(adapter.Description, "FT232R USB UART");
    EXPECT_EQ(adapter.Manufacturer, "FTDI");
    EXPECT_EQ(adapter.Location, "1-1.2");
    EXPECT_EQ(adapter.LatencyTimer, 16u);
    EXPECT_EQ(device::SysfsPortFacts(sys.TtyClass(), "ttyS0").Kind, device::PortKind::BuiltInUart);
    EXPECT_EQ(device::SysfsPortFacts(sys.TtyClass(), "ttyGS0").Kind, device::PortKind::Other);
    EXPECT_EQ(device::SysfsPortFacts(sys.TtyClass(), "ttyUSB9").Kind, device::PortKind::Other);
    EXPECT_EQ(device::SysfsPortFacts(sys.TtyClass(), "../ttyUSB0").Kind, device::PortKind::Other);
}

TEST(PortDetails, IdentityAndDescription)
{
    EXPECT_EQ(PortIdentity(UsbAdapter("ttyUSB0", "A1B2", "1-1.2")), "usb:0403:6001:at:1-1.2:sn:A1B2");
    EXPECT_EQ(PortIdentity(UsbAdapter("ttyUSB0", "", "1-1.2")), "usb:0403:6001:at:1-1.2");
    EXPECT_EQ(PortIdentity(Uart("ttyS0")), "");

    TPortDetails adapter = UsbAdapter("ttyUSB0", "A1B2", "1-1.2");
    adapter.Description = "FT232R USB UART";
    adapter.Manufacturer = "FTDI";
    EXPECT_EQ(DescribePort(adapter), "ttyUSB0 \u2013 FT232R USB UART (FTDI), nr A1B2, USB 1-1.2");
    TPortDetails unnamed = UsbAdapter("ttyACM0", "", "2-1");
    unnamed.Description = unnamed.Manufacturer = "";
    EXPECT_EQ(DescribePort(unnamed), "ttyACM0 \u2013 adapter USB 0403:6001, USB 2-1");
    EXPECT_EQ(DescribePort(Uart("ttyS0")), "ttyS0 \u2013 wbudowany port szeregowy");
    TPortDetails pty;
    pty.Name = "/dev/pts/4";
    pty.Kind = pkPseudoTerminal;
    EXPECT_EQ(DescribePort(pty), "/dev/pts/4");
    TPortDetails bluetooth;
    bluetooth.Name = "COM5";
    bluetooth.Kind = pkBluetooth;
    bluetooth.Description = "Standardowy port szeregowy przez łącze Bluetooth";
    EXPECT_EQ(DescribePort(bluetooth), "COM5 \u2013 port Bluetooth (Standardowy port szeregowy przez łącze Bluetooth)");
    EXPECT_EQ(PortIdentity(bluetooth), "");

    // The stored adapter as a message names it: its serial number, else where it was plugged in.
    EXPECT_EQ(DescribeAdapterIdentity("usb:0403:6001:at:1-1.2:sn:A1:B2"), "adapter USB 0403:6001, nr A1:B2");
    EXPECT_EQ(DescribeAdapterIdentity("usb:0403:6001:at:1-1.2"), "adapter USB 0403:6001, USB 1-1.2");
    EXPECT_EQ(DescribeAdapterIdentity("ttyS0"), "");
    pty.Holders = {{812, "minicom"}, {90, "cu"}};
    EXPECT_EQ(DescribePort(pty), "/dev/pts/4, używany przez: minicom (PID 812), cu (PID 90)");
}

// Another process holding a pseudo-terminal open (and locked, as our own
// open locks it) is named by its program and process id; this process, which
// holds it too, is not another holder.
TEST(PortDetails, HoldersAreTheOtherProcessesThatHoldTheDevice)
{
    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const std::string path = ttyname(slave);
    EXPECT_TRUE(device::FindPortHolders({path}).front().Processes.empty());

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_NAME, "velt-holder");
        const char done = flock(slave, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
        static_cast<void>(write(ready[1], &done, 1));
        pause();
        _exit(0);
    }
    char locked = 0;
    const bool childReady = read(ready[0], &locked, 1) == 1 && locked == 'y';
    const std::vector<device::PortHolders> found = device::FindPortHolders({path, "/dev/velt-no-such-port"});
    int error = 0;
    const bool opened = device::OpenSerialDevice(path, error) != nullptr;
    const std::string note = PortHolderNote(path, error);
    const std::string otherFailure = PortHolderNote(path, EACCES);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    close(slave);
    close(master);

    ASSERT_TRUE(childReady);
    ASSERT_EQ(found.size(), 2u);
    ASSERT_EQ(found[0].Processes.size(), 1u);
    EXPECT_EQ(found[0].Processes[0].Pid, child);
    EXPECT_EQ(found[0].Processes[0].Program, "velt-holder");
    EXPECT_TRUE(found[1].Processes.empty());
    EXPECT_FALSE(opened);
    EXPECT_TRUE(device::IsPortInUseError(error)) << error;
    EXPECT_EQ(note, "używany przez: velt-holder (PID " + std::to_string(child) + ")");
    EXPECT_EQ(otherFailure, ""); // a failure other than "in use" names nobody
}

TEST(PortDetails, InstalledSourceIsSortedLikeTheNames)
{
    SetPortDetailsSource([](std::vector<TPortDetails>& Out) {
        Out = {UsbAdapter("ttyUSB1", "B", "1-2"), Uart("COM10"), Uart("com2")};
        return 0;
    });
    std::vector<TPortDetails> list;
    ListPortDetails(list);
    SetPortDetailsSource({});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Name, "COM10");
    EXPECT_EQ(list[1].Name, "com2");
    EXPECT_EQ(list[2].Name, "ttyUSB1");
}

TEST(PortDetails, ResolveFollowsOneAdapterAndGuessesNothing)
{
    const std::string a = PortIdentity(UsbAdapter("ttyUSB0", "A", "1-1"));
    // No identity, or the name still is the adapter: the name stays.
    EXPECT_EQ(ResolvePort("ttyS0", "", {Uart("ttyS0")}).Result, prsUnchanged);
    EXPECT_EQ(ResolvePort("ttyUSB0", a, {UsbAdapter("ttyUSB0", "A", "1-1"), UsbAdapter("ttyUSB1", "B", "1-2")}).Result,
              prsUnchanged);
    // Re-plugged in the other order: the names swapped.
    TResolvedPort r = ResolvePort("ttyUSB0", a, {UsbAdapter("ttyUSB0", "B", "1-2"), UsbAdapter("ttyUSB1", "A", "1-1")});
    EXPECT_EQ(r.Result, prsMoved);
    EXPECT_EQ(r.Name, "ttyUSB1");
    // The gone name still held open: the adapter came back as ttyUSB1 in another USB port.
    r = ResolvePort("ttyUSB0", a, {UsbAdapter("ttyUSB1", "A", "1-4")});
    EXPECT_EQ(r.Result, prsMoved);
    EXPECT_EQ(r.Name, "ttyUSB1");
    // Gone, and its name now another adapter's: that one is not used.
    r = ResolvePort("ttyUSB0", a, {UsbAdapter("ttyUSB0", "B", "1-2")});
    EXPECT_EQ(r.Result, prsMissing);
    EXPECT_EQ(r.Name, "ttyUSB0");

    // Two adapters with one serial number: told apart by the location...
    const std::string twinAt1 = PortIdentity(UsbAdapter("ttyUSB0", "SAME", "1-1"));
    r = ResolvePort("ttyUSB0", twinAt1, {UsbAdapter("ttyUSB0", "SAME", "1-2"), UsbAdapter("ttyUSB1", "SAME", "1-1")});
    EXPECT_EQ(r.Result, prsMoved);
    EXPECT_EQ(r.Name, "ttyUSB1");
    // ...and neither guessed once both moved to other USB ports.
    r = ResolvePort("ttyUSB0", twinAt1, {UsbAdapter("ttyUSB0", "SAME", "1-3"), UsbAdapter("ttyUSB1", "SAME", "1-4")});
    EXPECT_EQ(r.Result, prsAmbiguous);
    EXPECT_EQ(r.Name, "ttyUSB0");
    // The same for adapters without serial numbers.
    const std::string plainAt2 = PortIdentity(UsbAdapter("ttyUSB0", "", "1-2"));
    EXPECT_EQ(ResolvePort("ttyUSB5", plainAt2, {UsbAdapter("ttyUSB0", "", "1-1")}).Name, "ttyUSB0");
    EXPECT_EQ(
        ResolvePort("ttyUSB5", plainAt2, {UsbAdapter("ttyUSB0", "", "1-1"), UsbAdapter("ttyUSB1", "", "1-3")}).Result,
        prsAmbiguous);
    // A stored text that is no identity changes nothing.
    EXPECT_EQ(ResolvePort("ttyUSB0", "usb:zz", {UsbAdapter("ttyUSB1", "A", "1-1")}).Result, prsUnchanged);
}

// Which listed port a name is: in any letter case, by its device, or by the
// name the system lists its device under.
TEST(PortDetails, FindListedPortKnowsAPortByEveryNameItHas)
{
    const std::vector<TPortDetails> listed{Uart("ttyS0"), UsbAdapter("ttyUSB0", "A", "1-1")};
    EXPECT_EQ(FindListedPort("ttyusb0", listed), &listed[1]);
    EXPECT_EQ(FindListedPort("/dev/ttyUSB0", listed), &listed[1]);
    EXPECT_EQ(FindListedPort("ttyUSB1", listed), nullptr);
    EXPECT_EQ(FindListedPort("", listed), nullptr);
    if (fs::exists("/dev/ttyS0")) { // "COM1" is the first on-board UART
        EXPECT_EQ(FindListedPort("com1", listed), &listed[0]);
    }
}
