// The setup model under both setup dialogs, without a window: its lists and
// entries, which value each shows and chooses, the port list that follows
// the system's, and OK's one guarded settings update. A port on the
// recording device shows what reaches the device.
#include <gtest/gtest.h>

#include <cerrno>

#include <velt/comport/ComError.h>
#include <velt/comport/ComSetup.h>
#include "support/ComErrors.h"
#include "support/ListedPorts.h"
#include "support/PseudoTerminal.h"
#include "support/RecordingPort.h"

namespace {

const std::vector<std::string> kOneApply{"SetupQueues", "SetState", "SetTimeouts"};

std::vector<std::string> Texts(const TSetupList& List)
{
    std::vector<std::string> texts;
    for (const TSetupEntry& entry : List.Entries())
        texts.push_back(entry.Text);
    return texts;
}

std::string ShownValue(const TSetupList& List)
{
    return List.Shown() < 0 ? std::string() : List.Entries()[static_cast<size_t>(List.Shown())].Value;
}

int IndexOf(const TSetupList& List, const std::string& Value)
{
    for (size_t i = 0; i < List.Entries().size(); ++i)
        if (List.Entries()[i].Value == Value)
            return static_cast<int>(i);
    ADD_FAILURE() << "no entry " << Value;
    return -1;
}

// Picks Value as the operator does.
void Pick(TSetupList& List, const std::string& Value) { List.Pick(IndexOf(List, Value)); }

class SetupModel : public ::testing::Test {
protected:
    void SetUp() override { UsePorts({PlainPort("COM2"), PlainPort("ttyUSB0"), PlainPort("COM1")}); }
    void TearDown() override { SetPortDetailsSource({}); }
};

} // namespace

TEST_F(SetupModel, ListsEverySetupSettingWithItsLabelAndThePortsValues)
{
    RecordingPort port;
    port.SetPort("COM2");
    port.SetBaudRate(br19200);
    TComSetup setup(port);
    std::vector<std::string> captions, shown;
    for (const TSetupList& list : setup.Lists()) {
        captions.push_back(list.Caption());
        shown.push_back(ShownValue(list));
    }
    EXPECT_EQ(captions,
              (std::vector<std::string>{"Port", "Prędkość", "Bity danych", "Bity stopu", "Parzystość", "Sterowanie"}));
    EXPECT_EQ(shown, (std::vector<std::string>{"COM2", "19200", "8", "1", "None", "None"}));
    EXPECT_EQ(Texts(setup.Lists()[0]), (std::vector<std::string>{"COM1", "COM2", "ttyUSB0"}));
    EXPECT_EQ(setup.Lists()[1].Entries().size(), 16u);
    EXPECT_EQ(Texts(setup.Lists()[5]), (std::vector<std::string>{"Hardware", "Software", "None", "Custom"}));
}

TEST_F(SetupModel, ApplyWritesEveryChoiceInOneSettingsUpdate)
{
    RecordingPort port;
    port.SetPort("COM1");
    port.Open();
    port.Log->Clear();
    TComSetup setup(port);
    Pick(setup.Lists()[1], "57600");
    Pick(setup.Lists()[2], "7");
    Pick(setup.Lists()[3], "2");
    Pick(setup.Lists()[4], "Even");
    Pick(setup.Lists()[5], "Software");
    setup.Apply(port);
    EXPECT_EQ(SettingWrites(port), kOneApply);
    EXPECT_EQ(port.BaudRate(), br57600);
    EXPECT_EQ(port.DataBits(), dbSeven);
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);
    EXPECT_EQ(port.Parity().Bits(), prEven);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcSoftware);
    EXPECT_EQ(port.SettingsUpdateDepth(), 0);

    // OK without a change still writes the device once; a new device
    // reopens the port, then the settings are written once.
    port.Log->Clear();
    TComSetup(port).Apply(port);
    EXPECT_EQ(SettingWrites(port), kOneApply);
    TComSetup another(port);
    Pick(another.Lists()[0], "ttyUSB0");
    port.Log->Clear();
    another.Apply(port);
    EXPECT_EQ(port.Port(), "ttyUSB0");
    EXPECT_EQ(port.OpenCount, 2);
    EXPECT_EQ(SettingWrites(port), kOneApply);
}

// The write's failure is the one reported, the update is ended, and the
// lists after the failing one are not written.
TEST_F(SetupModel, AFailingWriteEndsTheUpdateAndIsTheFailureReported)
{
    PortFailingOn port("COM2");
    port.SetPort("COM1");
    port.Open();
    TComSetup setup(port);
    Pick(setup.Lists()[0], "COM2");
    Pick(setup.Lists()[1], "300");
    const std::optional<EComPort> error = ComErrorOf([&] { setup.Apply(port); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->PortErrorCode(), peOpenDevice);
    EXPECT_EQ(port.SettingsUpdateDepth(), 0);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_FALSE(port.Connected());
}

TEST_F(SetupModel, ThePortsOwnNameIsFoundInAnyCaseOrKeptMarkedWhateverItIs)
{
    RecordingPort port;
    port.SetPort("com2");
    TComSetup(port).Apply(port);
    EXPECT_EQ(port.Port(), "COM2"); // the listed spelling

    PseudoTerminal pty;
    const std::vector<std::pair<std::string, std::string>> cases{
        {"COM3", "COM3 (brak)"},
        {"ttyUSB1", "ttyUSB1 (brak)"},
        {"/nonexistent/velt-port", "/nonexistent/velt-port (brak)"},
        {pty.SlavePath(), pty.SlavePath()}, // a path that is there
    };
    for (const auto& [current, shownAs] : cases) {
        port.SetPort(current);
        TComSetup setup(port);
        const TSetupList& ports = setup.Lists()[0];
        EXPECT_EQ(Texts(ports), (std::vector<std::string>{"COM1", "COM2", "ttyUSB0", shownAs}));
        EXPECT_EQ(ShownValue(ports), current);
        Pick(setup.Lists()[1], "19200");
        setup.Apply(port);
        EXPECT_EQ(port.Port(), current);
        EXPECT_EQ(port.BaudRate(), br19200);
        port.SetBaudRate(br9600);
    }
    // Picked away and back, the absent port is written without the mark.
    port.SetPort("COM3");
    TComSetup setup(port);
    Pick(setup.Lists()[0], "COM1");
    Pick(setup.Lists()[0], "COM3");
    setup.Apply(port);
    EXPECT_EQ(port.Port(), "COM3");
}

// Two adapters of one kind differ in their serial numbers: each entry says
// what the system tells of it; the name picked is written with its
// adapter's identity, in one step.
TEST_F(SetupModel, PortEntriesTellTheAdapterAndAPickCarriesItsIdentity)
{
    UsePorts({PlainPort("COM1"), UsbAdapter("ttyUSB0", "A1B2"), UsbAdapter("ttyUSB1", "C3D4")});
    RecordingPort port;
    port.SetPort("COM1");
    TComSetup setup(port);
    TSetupList& ports = setup.Lists()[0];
    EXPECT_EQ(Texts(ports)[0], "COM1");
    EXPECT_EQ(Texts(ports)[2], DescribePort(UsbAdapter("ttyUSB1", "C3D4")));
    const std::string hint = ports.Entries()[2].Hint;
    for (const char* fact :
         {"Producent: QEMU", "Nr seryjny: C3D4", "USB: 0403:6001", "Gniazdo USB: 1-1", "/dev/ttyUSB1"})
        EXPECT_NE(hint.find(fact), std::string::npos) << hint;
    Pick(ports, "ttyUSB1");
    setup.Apply(port);
    EXPECT_EQ(port.Port(), "ttyUSB1");
    EXPECT_EQ(port.AdapterIdentity(), PortIdentity(UsbAdapter("ttyUSB1", "C3D4")));

    // The port's own name, not picked, keeps the identity stored with it.
    port.SetAdapterIdentity("usb:0403:6001:at:1-9:sn:OTHER");
    TComSetup again(port);
    Pick(again.Lists()[1], "19200");
    again.Apply(port);
    EXPECT_EQ(port.AdapterIdentity(), "usb:0403:6001:at:1-9:sn:OTHER");
}

// Ports plugged in or pulled out while the dialog is open: the list follows,
// the operator's pick stays shown (marked while its adapter is out) and is
// what OK writes; the port in use stays listed.
TEST_F(SetupModel, ReadingThePortsAgainKeepsThePickAndThePortsOwnName)
{
    UsePorts({PlainPort("COM1"), UsbAdapter("ttyUSB0", "A1B2")});
    RecordingPort port;
    port.SetPort("COM1");
    TComSetup setup(port);
    TSetupList& ports = setup.Lists()[0];
    Pick(ports, "ttyUSB0");
    UsePorts({PlainPort("ttyUSB1")});
    ports.ReadPorts();
    EXPECT_EQ(Texts(ports), (std::vector<std::string>{"ttyUSB1", "COM1 (brak)", "ttyUSB0 (brak)"}));
    EXPECT_EQ(ShownValue(ports), "ttyUSB0");
    UsePorts({PlainPort("COM1"), UsbAdapter("ttyUSB0", "A1B2")});
    ports.ReadPorts();
    EXPECT_EQ(Texts(ports), (std::vector<std::string>{"COM1", DescribePort(UsbAdapter("ttyUSB0", "A1B2"))}));
    EXPECT_EQ(ports.Shown(), 1);

    // A list that cannot be read leaves the list as it was.
    SetPortDetailsSource([](std::vector<TPortDetails>&) { return EACCES; });
    EXPECT_EQ(ComErrorOf([&] { ports.ReadPorts(); })->PortErrorCode(), peRegistry);
    EXPECT_EQ(ports.Entries().size(), 2u);
    setup.Apply(port);
    EXPECT_EQ(port.Port(), "ttyUSB0");
}

TEST_F(SetupModel, WithoutAPortListThereIsNoSetup)
{
    SetPortDetailsSource([](std::vector<TPortDetails>&) { return ENOENT; });
    RecordingPort port;
    const std::optional<EComPort> error = ComErrorOf([&] { TComSetup setup(port); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->PortErrorCode(), peRegistry);
    EXPECT_EQ(error->SystemErrorCode(), ENOENT);
}

// A program's selection only shows a value; only a pick, or the port's own
// value, is written.
TEST_F(SetupModel, ShowingIsNotChoosing)
{
    RecordingPort port;
    TSetupList flow(cpFlowControl);
    flow.ShowFirst();
    EXPECT_FALSE(flow.Chosen());
    flow.WriteTo(port); // nothing chosen: nothing written
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    flow.ShowPortValue(port);
    EXPECT_TRUE(flow.Show("hardware"));
    EXPECT_EQ(ShownValue(flow), "Hardware");
    EXPECT_FALSE(flow.Show("Sometimes"));
    EXPECT_EQ(ShownValue(flow), "Hardware");
    flow.WriteTo(port);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    EXPECT_TRUE(TSetupList(cpNone).Entries().empty());
}
