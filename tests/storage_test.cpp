// Keeping a port's settings in the registry file and in ini files: what is
// stored, how it comes back, the location rules, failures as codes 16 and 17,
// and a restore on an open port.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComStorage.h>
#include "support/ComErrors.h"
#include "support/RecordingPort.h"

#include "support/TempConfigHome.h"

namespace {

const std::string kLocation = "HKEY_LOCAL_MACHINE\\Software\\Velt4";

std::string RegistryWithKey(const std::string& Key, const std::string& Values)
{
    return "REGEDIT4\n\n[" + Key + "]\n" + Values + "\n";
}

class StorageTest : public TempConfigHomeTest {
protected:
    void SetUp() override
    {
        TempConfigHomeTest::SetUp();
        FPort.SetName("ComPort");
    }
    void StoreProgramKey(const std::string& Values)
    {
        WriteFile(RegistryFile(), RegistryWithKey("HKEY_LOCAL_MACHINE\\Software\\Velt4\\ComPort", Values));
    }
    // Runs Action and returns the EComPort code it raised (0 for none).
    template <typename Action>
    static int32_t ErrorCode(Action&& A, std::string* Message = nullptr)
    {
        if (const std::optional<EComPort> e = ComErrorOf(std::forward<Action>(A))) {
            EXPECT_EQ(e->SystemErrorCode(), -1);
            if (Message != nullptr)
                *Message = e->what();
            return e->PortErrorCode();
        }
        return 0;
    }

    RecordingPort FPort;
};

// ---- What is stored ---------------------------------------------------------

const std::string kDefaultFile = RegistryWithKey("HKEY_LOCAL_MACHINE\\Software\\Velt4\\ComPort",
                                                 "\"Port\"=\"COM1\"\n"
                                                 "\"BaudRate\"=\"9600\"\n"
                                                 "\"StopBits\"=\"1\"\n"
                                                 "\"DataBits\"=\"8\"\n"
                                                 "\"Parity\"=\"None\"\n"
                                                 "\"FlowControl\"=\"None\"\n");

TEST_F(StorageTest, DefaultsAreSixTextValuesInOrder)
{
    FPort.SaveSettings(ssRegistry, kLocation);
    EXPECT_EQ(ReadFile(RegistryFile()), kDefaultFile);
}

// Low latency is stored only when set (after the flow control), cleared in a
// store that had it, and a store without it gives it off, an ini file too.
TEST_F(StorageTest, LowLatencyIsStoredOnlyWhenSet)
{
    FPort.SetLowLatency(true);
    FPort.SaveSettings(ssRegistry, kLocation);
    EXPECT_NE(ReadFile(RegistryFile()).find("\"FlowControl\"=\"None\"\n\"LowLatency\"=\"Yes\"\n"), std::string::npos);
    FPort.SetLowLatency(false);
    FPort.SaveSettings(ssRegistry, kLocation);
    EXPECT_NE(ReadFile(RegistryFile()).find("\"LowLatency\"=\"No\"\n"), std::string::npos);

    WriteFile(FHome / "velt.ini", "[ComPort]\nPort=COM3\n");
    FPort.SetLowLatency(true);
    FPort.RestoreSettings(ssIniFile, "velt.ini");
    EXPECT_FALSE(FPort.LowLatency());
    FPort.SaveSettings(ssIniFile, "velt.ini");
    EXPECT_EQ(ReadFile(FHome / "velt.ini").find("LowLatency"), std::string::npos);
}

TEST_F(StorageTest, CustomRateFollowsBaudRateAsANumber)
{
    FPort.SetBaudRate(brCustom);
    FPort.SetCustomBaudRate(250000);
    FPort.SaveSettings(ssRegistry, kLocation);
    const std::string text = ReadFile(RegistryFile());
    EXPECT_NE(text.find("\"BaudRate\"=\"Custom\"\n\"CustomBaudRate\"=dword:0003d090\n\"StopBits\"=\"1\"\n"),
              std::string::npos)
        << text;
}

TEST_F(StorageTest, SavingAgainKeepsAnEarlierCustomRateAndOtherValues)
{
    StoreProgramKey("\"CustomBaudRate\"=dword:00000064\n\"Mine\"=\"kept\"\n");
    FPort.SaveSettings(ssRegistry, kLocation);
    const std::string text = ReadFile(RegistryFile());
    EXPECT_NE(text.find("\"CustomBaudRate\"=dword:00000064\n\"Mine\"=\"kept\"\n\"Port\"=\"COM1\""), std::string::npos)
        << text;
}

// Every one of the 29 values survives a round trip through each store.
void ChangeEverySetting(TCustomComPort& P)
{
    P.SetSettingsGroups(TSettingsGroups::FromBits(0x3F));
    P.SetPort("/dev/ttyUSB7");
    P.SetBaudRate(brCustom);
    P.SetCustomBaudRate(31250);
    P.SetStopBits(sbTwoStopBits);
    P.SetDataBits(dbSeven);
    P.Parity().SetBits(prMark);
    P.SetEventChar(13);
    P.SetDiscardNull(true);
    P.Parity().SetCheck(true);
    P.Parity().SetReplace(true);
    P.Parity().SetReplaceChar('?');
    P.Buffer().SetOutputSize(4096);
    P.Buffer().SetInputSize(8192);
    P.Timeouts().SetReadInterval(11);
    P.Timeouts().SetReadTotalConstant(12);
    P.Timeouts().SetReadTotalMultiplier(13);
    P.Timeouts().SetWriteTotalConstant(14);
    P.Timeouts().SetWriteTotalMultiplier(15);
    P.FlowControl().SetControlRTS(rtsToggle);
    P.FlowControl().SetControlDTR(dtrHandshake);
    P.FlowControl().SetDSRSensitivity(true);
    P.FlowControl().SetOutCTSFlow(true);
    P.FlowControl().SetOutDSRFlow(true);
    P.FlowControl().SetTxContinueOnXoff(true);
    P.FlowControl().SetXonXoffIn(true);
    P.FlowControl().SetXonXoffOut(false);
    P.FlowControl().SetXoffChar(0x93);
    P.FlowControl().SetXonChar(' ');
}

void ExpectEverySettingChanged(const TCustomComPort& P)
{
    EXPECT_EQ(P.Port(), "/dev/ttyUSB7");
    EXPECT_EQ(P.BaudRate(), brCustom);
    EXPECT_EQ(P.CustomBaudRate(), 31250);
    EXPECT_EQ(P.StopBits(), sbTwoStopBits);
    EXPECT_EQ(P.DataBits(), dbSeven);
    EXPECT_EQ(P.Parity().Bits(), prMark);
    EXPECT_EQ(P.EventChar(), 13);
    EXPECT_TRUE(P.DiscardNull());
    EXPECT_TRUE(P.Parity().Check());
    EXPECT_TRUE(P.Parity().Replace());
    EXPECT_EQ(P.Parity().ReplaceChar(), '?');
    EXPECT_EQ(P.Buffer().OutputSize(), 4096);
    EXPECT_EQ(P.Buffer().InputSize(), 8192);
    EXPECT_EQ(P.Timeouts().ReadInterval(), 11);
    EXPECT_EQ(P.Timeouts().ReadTotalConstant(), 12);
    EXPECT_EQ(P.Timeouts().ReadTotalMultiplier(), 13);
    EXPECT_EQ(P.Timeouts().WriteTotalConstant(), 14);
    EXPECT_EQ(P.Timeouts().WriteTotalMultiplier(), 15);
    EXPECT_EQ(P.FlowControl().ControlRTS(), rtsToggle);
    EXPECT_EQ(P.FlowControl().ControlDTR(), dtrHandshake);
    EXPECT_TRUE(P.FlowControl().DSRSensitivity());
    EXPECT_TRUE(P.FlowControl().OutCTSFlow());
    EXPECT_TRUE(P.FlowControl().OutDSRFlow());
    EXPECT_TRUE(P.FlowControl().TxContinueOnXoff());
    EXPECT_TRUE(P.FlowControl().XonXoffIn());
    EXPECT_FALSE(P.FlowControl().XonXoffOut());
    EXPECT_EQ(P.FlowControl().XoffChar(), 0x93);
    EXPECT_EQ(P.FlowControl().XonChar(), ' ');
}

TEST_F(StorageTest, EverySettingRoundTripsThroughBothStores)
{
    ChangeEverySetting(FPort);
    FPort.SaveSettings(ssRegistry, kLocation);
    FPort.SaveSettings(ssIniFile, "velt.ini");
    for (TSettingsStore store : {ssRegistry, ssIniFile}) {
        RecordingPort restored;
        restored.SetName("ComPort");
        restored.SetSettingsGroups(TSettingsGroups::FromBits(0x3F));
        restored.RestoreSettings(store, store == ssRegistry ? kLocation : "velt.ini");
        SCOPED_TRACE(store == ssRegistry ? "registry" : "ini file");
        ExpectEverySettingChanged(restored);
    }
    const std::string ini = ReadFile(FHome / "velt.ini");
    EXPECT_EQ(ini.find("[ComPort]\nPort=/dev/ttyUSB7\nBaudRate=Custom\nCustomBaudRate=31250\n"), 0u) << ini;
    EXPECT_NE(ini.find("EventChar=#13\n"), std::string::npos);
    EXPECT_NE(ini.find("FlowControl.XoffChar=#147\nFlowControl.XonChar=#32\n"), std::string::npos);
}

// ---- Restoring from the registry --------------------------------------------

TEST_F(StorageTest, EmptyKeyGivesEmptyPortAndBasicDefaultsAndKeepsFlowFields)
{
    StoreProgramKey("");
    FPort.SetBaudRate(br115200);
    FPort.SetStopBits(sbTwoStopBits);
    FPort.SetDataBits(dbSeven);
    FPort.Parity().SetBits(prEven);
    FPort.FlowControl().SetControlDTR(dtrEnable);
    FPort.FlowControl().SetOutDSRFlow(true);
    FPort.RestoreSettings(ssRegistry, kLocation);
    EXPECT_EQ(FPort.Port(), "");
    EXPECT_EQ(FPort.BaudRate(), br9600);
    EXPECT_EQ(FPort.StopBits(), sbOneStopBit);
    EXPECT_EQ(FPort.DataBits(), dbEight);
    EXPECT_EQ(FPort.Parity().Bits(), prNone);
    EXPECT_EQ(FPort.FlowControl().ControlDTR(), dtrEnable);
    EXPECT_TRUE(FPort.FlowControl().OutDSRFlow());
}

TEST_F(StorageTest, FirstRunCreatesTheKeyEmpty)
{
    FPort.RestoreSettings(ssRegistry, kLocation);
    EXPECT_EQ(FPort.Port(), "");
    EXPECT_EQ(ReadFile(RegistryFile()), RegistryWithKey("HKEY_LOCAL_MACHINE\\Software\\Velt4\\ComPort", ""));
}

TEST_F(StorageTest, MissingCustomRateFailsAndKeepsWhatWasRestored)
{
    StoreProgramKey("\"Port\"=\"COM5\"\n\"BaudRate\"=\"custom\"\n\"StopBits\"=\"2\"\n");
    std::string message;
    EXPECT_EQ(ErrorCode([&] { FPort.RestoreSettings(ssRegistry, kLocation); }, &message), peSettingsLoad);
    EXPECT_EQ(message, "Failed to load settings");
    EXPECT_EQ(FPort.Port(), "COM5");
    EXPECT_EQ(FPort.BaudRate(), brCustom);
    EXPECT_EQ(FPort.StopBits(), sbOneStopBit) << "values after the failure are not read";
    EXPECT_EQ(FPort.SettingsUpdateDepth(), 0);
}

TEST_F(StorageTest, ValuesOfTheWrongKindFail)
{
    StoreProgramKey("\"Port\"=dword:00000001\n");
    EXPECT_EQ(ErrorCode([&] { FPort.RestoreSettings(ssRegistry, kLocation); }), peSettingsLoad);
    StoreProgramKey("\"BaudRate\"=\"Custom\"\n\"CustomBaudRate\"=\"9600\"\n");
    EXPECT_EQ(ErrorCode([&] { FPort.RestoreSettings(ssRegistry, kLocation); }), peSettingsLoad);
}

TEST_F(StorageTest, TextsThatMatchNothingTakeTheFallbacks)
{
    FPort.SetSettingsGroups({sgBasic, sgFlowDetails});
    StoreProgramKey(
        "\"Parity\"=\"Even \"\n\"FlowControl\"=\"HARDWARE\"\n"
        "\"FlowControl.ControlRTS\"=\"toggle\"\n\"FlowControl.OutCTSFlow\"=\"No\"\n"
        "\"FlowControl.XonXoffIn\"=\"yes\"\n\"FlowControl.XonChar\"=\"#$0D\"\n");
    FPort.RestoreSettings(ssRegistry, kLocation);
    EXPECT_EQ(FPort.Parity().Bits(), prNone);
    // The details come after the summary and win over it.
    EXPECT_EQ(FPort.FlowControl().ControlRTS(), rtsToggle);
    EXPECT_FALSE(FPort.FlowControl().OutCTSFlow());
    EXPECT_TRUE(FPort.FlowControl().XonXoffIn());
    EXPECT_EQ(FPort.FlowControl().XonChar(), 13);
}

TEST_F(StorageTest, HardwareSummaryInAnyCase)
{
    StoreProgramKey("\"FlowControl\"=\"hArDwArE\"\n");
    FPort.FlowControl().SetXonXoffIn(true);
    FPort.RestoreSettings(ssRegistry, kLocation);
    EXPECT_EQ(FPort.FlowControl().ControlRTS(), rtsHandshake);
    EXPECT_TRUE(FPort.FlowControl().OutCTSFlow());
    EXPECT_FALSE(FPort.FlowControl().XonXoffIn());
    EXPECT_FALSE(FPort.FlowControl().XonXoffOut());
}

// ---- Locations ----------------------------------------------------------------

TEST_F(StorageTest, LocationRootWordsAndPaths)
{
    const std::pair<std::string, std::string> cases[] = {
        {"hkey_current_user\\Software\\A", "[HKEY_CURRENT_USER\\Software\\A\\ComPort]"},
        {"HKLM\\Software\\B", "[HKEY_CURRENT_USER\\Software\\B\\ComPort]"},
        {"HKEY_LOCAL_MACHINE\\Software\\C\\", "[HKEY_LOCAL_MACHINE\\Software\\C\\ComPort]"},
    };
    for (const auto& [location, header] : cases) {
        FPort.SaveSettings(ssRegistry, location);
        EXPECT_NE(ReadFile(RegistryFile()).find(header + "\n\"Port\"=\"COM1\""), std::string::npos) << location;
    }
}

TEST_F(StorageTest, LocationWithoutKeyPath)
{
    StoreProgramKey("\"Port\"=\"COM9\"\n");
    for (const std::string location : {"Software", "HKEY_LOCAL_MACHINE\\"}) {
        SCOPED_TRACE(location);
        std::string message;
        EXPECT_EQ(ErrorCode([&] { FPort.SaveSettings(ssRegistry, location); }, &message), peSettingsStore);
        EXPECT_EQ(message, "Failed to store settings");
    }
    FPort.RestoreSettings(ssRegistry, "Software"); // like an empty key
    EXPECT_EQ(FPort.Port(), "");
    FPort.SetPort("COM1");
    EXPECT_EQ(ErrorCode([&] { FPort.RestoreSettings(ssRegistry, "HKEY_LOCAL_MACHINE\\"); }), peSettingsLoad);
    EXPECT_EQ(FPort.Port(), "COM1");
}

// ---- Failures of the store ------------------------------------------------------

TEST_F(StorageTest, UnwritableStoreGivesCode16AndLeavesTheSettings)
{
    WriteFile(FHome / "file", "x");
    setenv("XDG_CONFIG_HOME", (FHome / "file").c_str(), 1);
    FPort.SetPort("COM4");
    EXPECT_EQ(ErrorCode([&] { FPort.SaveSettings(ssRegistry, kLocation); }), peSettingsStore);
    EXPECT_EQ(ErrorCode([&] { FPort.SaveSettings(ssIniFile, "velt.ini"); }), peSettingsStore);
    EXPECT_EQ(FPort.Port(), "COM4");
}

TEST_F(StorageTest, CorruptRegistryFailsRestoreThenSaveMovesItAside)
{
    const std::string garbage("\x00\x01 not a registry \xff", 19);
    WriteFile(RegistryFile(), garbage);
    EXPECT_EQ(ErrorCode([&] { FPort.RestoreSettings(ssRegistry, kLocation); }), peSettingsLoad);
    EXPECT_EQ(FPort.Port(), "COM1");
    FPort.SaveSettings(ssRegistry, kLocation);
    // The new file holds the written values alone: a file that could not be
    // read had no adapter identity to clear.
    EXPECT_EQ(ReadFile(RegistryFile()), kDefaultFile);
    int aside = 0;
    for (const auto& entry : fs::directory_iterator(RegistryFile().parent_path()))
        if (entry.path().filename().string().starts_with("registry.reg.corrupt-")) {
            ++aside;
            EXPECT_EQ(ReadFile(entry.path()), garbage);
        }
    EXPECT_EQ(aside, 1);
}

TEST_F(StorageTest, PortNamesWithLineEndsAreNotStored)
{
    FPort.SetPort("COM1\nBaudRate=300");
    EXPECT_EQ(ErrorCode([&] { FPort.SaveSettings(ssRegistry, kLocation); }), peSettingsStore);
    EXPECT_EQ(ErrorCode([&] { FPort.SaveSettings(ssIniFile, "velt.ini"); }), peSettingsStore);
    EXPECT_EQ(ReadFile(RegistryFile()).find("\"Port\""), std::string::npos);
    EXPECT_FALSE(fs::exists(FHome / "velt.ini"));
}

// A stored port name that the writer would refuse fails the restore instead
// of reaching the port, where no save could ever store it again.
TEST_F(StorageTest, PortNamesThatCannotBeStoredAreNotRestored)
{
    using namespace std::string_literals;
    for (const std::string& name : {"/dev/zero\rX"s, "/dev/zero\0X"s}) {
        StoreProgramKey("\"Port\"=\"" + name + "\"\r\n");
        EXPECT_EQ(ErrorCode([&] { FPort.RestoreSettings(ssRegistry, kLocation); }), peSettingsLoad);
        WriteFile(FHome / "velt.ini", "[ComPort]\nPort=" + name + "\n");
        EXPECT_EQ(ErrorCode([&] { FPort.RestoreSettings(ssIniFile, "velt.ini"); }), peSettingsLoad);
        EXPECT_EQ(FPort.Port(), "COM1");
        FPort.SaveSettings(ssRegistry, kLocation);
    }
}

// Only a regular file of a sane size is read: a link to an endless device, a
// FIFO without a writer (which would block the open) and a huge file each
// fail the restore at once.
TEST_F(StorageTest, SettingsFileThatIsNoSaneFileFailsTheRestoreAtOnce)
{
    fs::create_directories(RegistryFile().parent_path());
    const auto refused = [&] {
        EXPECT_EQ(ErrorCode([&] { FPort.RestoreSettings(ssRegistry, kLocation); }), peSettingsLoad);
        EXPECT_EQ(ErrorCode([&] { FPort.RestoreSettings(ssIniFile, RegistryFile().string()); }), peSettingsLoad);
        fs::remove(RegistryFile());
    };
    fs::create_symlink("/dev/zero", RegistryFile());
    refused();
    ASSERT_EQ(mkfifo(RegistryFile().c_str(), 0600), 0);
    refused();
    WriteFile(RegistryFile(), "REGEDIT4\n");
    fs::resize_file(RegistryFile(), (16u << 20) + 1);
    refused();
}

// ---- Ini files --------------------------------------------------------------------

TEST_F(StorageTest, IniDefaultsAreTheCurrentValuesExceptTheCustomRate)
{
    WriteFile(FHome / "velt.ini", "[ComPort]\n[Other]\nPort=COM9\n");
    FPort.SetSettingsGroups(TSettingsGroups::FromBits(0x3F));
    FPort.SetPort("COM3");
    FPort.SetBaudRate(brCustom);
    FPort.SetCustomBaudRate(31250);
    FPort.Timeouts().SetReadInterval(77);
    FPort.FlowControl().SetXonXoffIn(true); // a custom summary
    FPort.RestoreSettings(ssIniFile, "velt.ini");
    EXPECT_EQ(FPort.Port(), "COM3");
    EXPECT_EQ(FPort.BaudRate(), brCustom);
    EXPECT_EQ(FPort.CustomBaudRate(), 9600);
    EXPECT_EQ(FPort.Timeouts().ReadInterval(), 77);
    EXPECT_TRUE(FPort.FlowControl().XonXoffIn());
}

TEST_F(StorageTest, IniNumbersParsedOrLeftAlone)
{
    WriteFile(FHome / "velt.ini", "[comport]\nBuffer.OutputSize=0x10\nBuffer.InputSize=lots\n");
    FPort.SetSettingsGroups({sgBuffer});
    FPort.RestoreSettings(ssIniFile, "velt.ini");
    EXPECT_EQ(FPort.Buffer().OutputSize(), 16);
    EXPECT_EQ(FPort.Buffer().InputSize(), 1024);
}

// ---- An open port --------------------------------------------------------------------

TEST_F(StorageTest, RestoreOnAnOpenPortReopensAndWritesTheDeviceOnce)
{
    FPort.SetPort("first");
    FPort.Open();
    ASSERT_EQ(FPort.OpenCount, 1);
    FPort.Log->Clear();
    StoreProgramKey(
        "\"Port\"=\"second\"\n\"BaudRate\"=\"19200\"\n\"StopBits\"=\"2\"\n\"DataBits\"=\"7\"\n"
        "\"Parity\"=\"Odd\"\n\"FlowControl\"=\"Software\"\n");
    FPort.RestoreSettings(ssRegistry, kLocation);

    EXPECT_TRUE(FPort.Connected());
    EXPECT_EQ(FPort.Port(), "second");
    EXPECT_EQ(FPort.OpenCount, 2);
    EXPECT_EQ(FPort.Log->OpenDevices(), 1);
    const auto calls = FPort.Log->Calls();
    const auto count = [&](const std::string& name) {
        return std::count_if(calls.begin(), calls.end(), [&](const auto& c) { return c.Name == name; });
    };
    EXPECT_EQ(count("SetupQueues"), 1);
    EXPECT_EQ(count("SetState"), 1);
    EXPECT_EQ(count("SetTimeouts"), 1);
    const auto state = std::find_if(calls.begin(), calls.end(), [](const auto& c) { return c.Name == "SetState"; });
    ASSERT_NE(state, calls.end());
    EXPECT_EQ(state->Dcb.BaudRate, 19200u);
    EXPECT_EQ(state->Dcb.ByteSize, 7);
    EXPECT_EQ(state->Dcb.StopBits, sbTwoStopBits);
    EXPECT_EQ(state->Dcb.Parity, prOdd);
}

TEST_F(StorageTest, FailedRestoreOnAnOpenPortStillWritesWhatWasRestored)
{
    FPort.Open();
    FPort.Log->Clear();
    StoreProgramKey("\"Port\"=\"COM1\"\n\"BaudRate\"=\"Custom\"\n");
    EXPECT_EQ(ErrorCode([&] { FPort.RestoreSettings(ssRegistry, kLocation); }), peSettingsLoad);
    EXPECT_EQ(FPort.OpenCount, 1) << "an equal Port does not reopen";
    const auto calls = FPort.Log->Calls();
    ASSERT_EQ(FPort.Log->CallNames(), (std::vector<std::string>{"SetupQueues", "SetState", "SetTimeouts"}));
    EXPECT_EQ(calls[1].Dcb.BaudRate, 9600u) << "the unchanged custom rate reaches the device";
}

// ---- Text forms ----------------------------------------------------------------------

TEST(StorageTexts, CharacterForms)
{
    const std::pair<uint8_t, std::string> toText[] = {{13, "#13"}, {0, "#0"},     {32, "#32"},   {33, "!"},
                                                      {65, "A"},   {127, "\x7f"}, {128, "#128"}, {255, "#255"}};
    for (const auto& [byte, text] : toText)
        EXPECT_EQ(CharToText(byte), text) << int(byte);

    const std::pair<std::string, uint8_t> toChar[] = {{"", 0},      {"#", 35},     {"#13", 13},  {"#017", 17},
                                                      {"#$0D", 13}, {"#0x0d", 13}, {"#1x", 0},   {"#300", 44},
                                                      {"#-1", 255}, {"AB", 65},    {"# 10", 10}, {"#+", 0}};
    for (const auto& [text, byte] : toChar)
        EXPECT_EQ(TextToChar(text), byte) << '"' << text << '"';
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(TextToChar(CharToText(static_cast<uint8_t>(b))), b);
}

TEST(StorageTexts, YesNoAndLineModes)
{
    for (const char* yes : {"Yes", "yes", "YES"})
        EXPECT_TRUE(TextToBool(yes)) << yes;
    for (const char* no : {"No", "True", "1", "", " Yes"})
        EXPECT_FALSE(TextToBool(no)) << no;
    EXPECT_EQ(BoolToText(true), "Yes");
    EXPECT_EQ(BoolToText(false), "No");

    EXPECT_EQ(TextToRTS("toggle"), rtsToggle);
    EXPECT_EQ(TextToRTS("HANDSHAKE"), rtsHandshake);
    EXPECT_EQ(TextToRTS("Enable "), rtsDisable);
    EXPECT_EQ(TextToDTR("Toggle"), dtrDisable);
    EXPECT_EQ(TextToDTR("enable"), dtrEnable);
    for (auto mode : {dtrDisable, dtrEnable, dtrHandshake})
        EXPECT_EQ(TextToDTR(DTRToText(mode)), mode);
    for (auto mode : {rtsDisable, rtsEnable, rtsHandshake, rtsToggle})
        EXPECT_EQ(TextToRTS(RTSToText(mode)), mode);
}

} // namespace

// The adapter's identity: a value of its own after the six, read back, and
// gone with a change of name.
TEST_F(StorageTest, AdapterIdentityFollowsTheWrittenValuesAndGoesWithTheName)
{
    FPort.SaveSettings(ssRegistry, kLocation);
    EXPECT_EQ(ReadFile(RegistryFile()).find("AdapterIdentity"), std::string::npos);

    FPort.SetPort("ttyUSB0");
    FPort.SetAdapterIdentity("usb:0403:6001:at:1-2:sn:A1");
    FPort.SaveSettings(ssRegistry, kLocation);
    EXPECT_NE(
        ReadFile(RegistryFile()).find("\"FlowControl\"=\"None\"\n\"AdapterIdentity\"=\"usb:0403:6001:at:1-2:sn:A1\"\n"),
        std::string::npos)
        << ReadFile(RegistryFile());
    RecordingPort restored;
    restored.SetName("ComPort");
    restored.RestoreSettings(ssRegistry, kLocation);
    EXPECT_EQ(restored.Port(), "ttyUSB0");
    EXPECT_EQ(restored.AdapterIdentity(), "usb:0403:6001:at:1-2:sn:A1");

    restored.SetPort("ttyS0");
    EXPECT_EQ(restored.AdapterIdentity(), "");
    restored.SaveSettings(ssRegistry, kLocation);
    EXPECT_NE(ReadFile(RegistryFile()).find("\"AdapterIdentity\"=\"\"\n"), std::string::npos);

    StoreProgramKey("\"Port\"=\"ttyUSB3\"\n\"AdapterIdentity\"=dword:00000001\n");
    restored.RestoreSettings(ssRegistry, kLocation);
    EXPECT_EQ(restored.Port(), "ttyUSB3");
    EXPECT_EQ(restored.AdapterIdentity(), "");
}
