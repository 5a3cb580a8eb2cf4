// Opening, closing and writing the settings to the device, seen through the
// recording device: the exact calls, their order, and when nothing is written.
#include <gtest/gtest.h>

#include <cerrno>

#include "support/ComErrors.h"
#include "support/RecordingPort.h"

using device::RecordedCall;

namespace {

const RecordedCall& Find(const std::vector<RecordedCall>& calls, const std::string& name)
{
    for (const auto& c : calls)
        if (c.Name == name)
            return c;
    throw std::runtime_error("no call " + name);
}
} // namespace

TEST(PortLifecycle, OpenWithDefaultsWritesQueuesThenRecordThenTimeouts)
{
    RecordingPort port;
    port.Open();
    ASSERT_TRUE(port.Connected());
    const auto calls = port.Log->Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].Name, "SetupQueues");
    EXPECT_EQ(calls[0].Arguments, (std::vector<uint32_t>{1024, 1024}));
    ASSERT_EQ(calls[1].Name, "SetState");
    const auto& dcb = calls[1].Dcb;
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 0);
    EXPECT_EQ(dcb.StopBits, 0);
    EXPECT_EQ(dcb.Flags, 0x0001u);
    EXPECT_EQ(dcb.XonLim, 256);
    EXPECT_EQ(dcb.XoffLim, 256);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    ASSERT_EQ(calls[2].Name, "SetTimeouts");
    const device::CommTimeouts expected{0xFFFFFFFFu, 0, 0, 100, 1000};
    EXPECT_EQ(calls[2].Timeouts, expected);
}

TEST(PortLifecycle, RecordCarriesEveryLineSetting)
{
    RecordingPort port;
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(31250);
    port.SetDataBits(dbSeven);
    port.SetStopBits(sbTwoStopBits);
    port.Parity().SetBits(prMark);
    port.Parity().SetCheck(true);
    port.Parity().SetReplace(true);
    port.Parity().SetReplaceChar('?');
    port.FlowControl().SetFlowControl(fcHardware);
    port.FlowControl().SetControlDTR(dtrHandshake);
    port.SetDiscardNull(true);
    port.SetEventChar('\n');
    port.Buffer().SetInputSize(6);
    port.Open();
    const auto dcb = Find(port.Log->Calls(), "SetState").Dcb;
    EXPECT_EQ(dcb.BaudRate, 31250u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.StopBits, 2);
    EXPECT_EQ(dcb.Parity, 3);
    EXPECT_EQ(dcb.Flags, 0x0001u | 0x0002u | 0x0004u | 0x0020u | 0x0400u | 0x0800u | 0x2000u);
    EXPECT_EQ(dcb.ErrorChar, '?');
    EXPECT_EQ(dcb.EvtChar, '\n');
    EXPECT_EQ(dcb.XonLim, 1);
}

TEST(PortLifecycle, ReplaceWithoutCheckSetsNeitherFlag)
{
    RecordingPort port;
    port.Parity().SetReplace(true);
    port.Parity().SetReplaceChar('x');
    port.Buffer().SetInputSize(2);
    port.Open();
    const auto dcb = Find(port.Log->Calls(), "SetState").Dcb;
    EXPECT_EQ(dcb.Flags, 0x0001u);
    EXPECT_EQ(dcb.ErrorChar, 0);
    EXPECT_EQ(dcb.XonLim, 0);
}

TEST(PortLifecycle, EqualValueWritesNothingAndChangeWritesItsGroupAtOnce)
{
    RecordingPort port;
    port.Open();
    port.Log->Clear();
    port.SetBaudRate(br9600);
    port.Timeouts().SetReadInterval(-1);
    port.Buffer().SetInputSize(1024);
    port.FlowControl().SetXonChar(17);
    EXPECT_TRUE(SettingWrites(port).empty());

    port.SetBaudRate(br115200);
    port.Timeouts().SetReadTotalConstant(50);
    port.Buffer().SetOutputSize(2048);
    EXPECT_EQ(SettingWrites(port), (std::vector<std::string>{"SetState", "SetTimeouts", "SetupQueues"}));

    // Writing fcCustom changes no field but still rewrites the line settings,
    // and so does a custom rate that is not in use.
    port.Log->Clear();
    port.FlowControl().SetFlowControl(fcCustom);
    port.SetCustomBaudRate(1234);
    EXPECT_EQ(SettingWrites(port), (std::vector<std::string>{"SetState", "SetState"}));
    EXPECT_EQ(Find(port.Log->Calls(), "SetState").Dcb.BaudRate, 115200u);
}

TEST(PortLifecycle, SettingsUpdateDefersUntilTheOutermostEnd)
{
    RecordingPort port;
    port.Open();
    port.Log->Clear();
    port.BeginSettingsUpdate();
    port.BeginSettingsUpdate();
    port.SetBaudRate(br19200);
    port.Timeouts().SetReadInterval(10);
    port.Buffer().SetInputSize(64);
    port.EndSettingsUpdate();
    EXPECT_TRUE(SettingWrites(port).empty());
    port.EndSettingsUpdate();
    EXPECT_EQ(SettingWrites(port), (std::vector<std::string>{"SetupQueues", "SetState", "SetTimeouts"}));
    port.Log->Clear();
    port.EndSettingsUpdate();
    EXPECT_TRUE(SettingWrites(port).empty());
    EXPECT_EQ(port.SettingsUpdateDepth(), 0);
}

TEST(PortLifecycle, PortChangeInsideUpdateReopensButWritesOnlyAtTheEnd)
{
    RecordingPort port;
    port.Open();
    port.BeginSettingsUpdate();
    port.Log->Clear();
    port.SetPort("com2");
    EXPECT_EQ(port.OpenCount, 2);
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(SettingWrites(port).empty());
    port.EndSettingsUpdate();
    EXPECT_EQ(SettingWrites(port), (std::vector<std::string>{"SetupQueues", "SetState", "SetTimeouts"}));
    // The same name in other letter case is another name.
    port.SetPort("COM2");
    EXPECT_EQ(port.OpenCount, 3);
}

TEST(PortLifecycle, OpenAndCloseAreIdempotentAndNotifyInOrder)
{
    RecordingPort port;
    std::vector<std::string> seen;
    port.OnBeforeOpen = [&](TComponent*) { seen.push_back("BeforeOpen"); };
    port.OnAfterOpen = [&](TComponent*) { seen.push_back("AfterOpen"); };
    port.OnCTSChange = [&](TComponent*, bool on) { seen.push_back(on ? "CTS on" : "CTS off"); };
    port.OnBeforeClose = [&](TComponent*) { seen.push_back("BeforeClose"); };
    port.OnAfterClose = [&](TComponent*) { seen.push_back("AfterClose"); };
    port.Log->SetModemStatus(device::kMsCtsOn);
    port.Open();
    port.Open();
    port.Close();
    port.Close();
    EXPECT_EQ(seen,
              (std::vector<std::string>{"BeforeOpen", "AfterOpen", "CTS on", "CTS off", "BeforeClose", "AfterClose"}));
    EXPECT_EQ(port.DeviceHandle(), nullptr);
    EXPECT_EQ(port.Log->OpenDevices(), 0);
}

TEST(PortLifecycle, RefusedSettingClosesTheDeviceAndPropagates)
{
    RecordingPort port;
    bool afterOpen = false;
    port.OnAfterOpen = [&](TComponent*) { afterOpen = true; };
    port.Log->FailCall("SetState", 22);
    const EComPort refused = ExpectComError([&] { port.Open(); });
    EXPECT_EQ(refused.PortErrorCode(), peSetLineFailed);
    EXPECT_EQ(refused.SystemErrorCode(), 22);
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(afterOpen);
    EXPECT_EQ(port.Log->OpenDevices(), 0);
}

// Low latency is asked for only while wanted (a port that never wants it
// leaves the driver alone), and a driver's refusal is a refused line setting.
TEST(PortLifecycle, LowLatencyIsAskedOnlyWhenItChangesAndARefusalIsARefusedSetting)
{
    RecordingPort port;
    const auto asked = [&] {
        std::vector<uint32_t> wanted;
        for (const device::RecordedCall& call : port.Log->Calls())
            if (call.Name == "SetLowLatency")
                wanted.push_back(call.Arguments.at(0));
        return wanted;
    };
    port.Open();
    port.SetLowLatency(true);
    port.SetBaudRate(br19200);
    port.SetLowLatency(false);
    port.SetLowLatency(true);
    port.Close();
    port.Open();
    EXPECT_EQ(asked(), (std::vector<uint32_t>{1, 0, 1, 1})); // the reopened device is asked again
    port.Close();

    RecordingPort refused;
    refused.SetLowLatency(true);
    refused.Log->FailCall("SetLowLatency", EINVAL);
    const EComPort error = ExpectComError([&] { refused.Open(); });
    EXPECT_EQ(error.PortErrorCode(), peSetLineFailed);
    EXPECT_EQ(error.SystemErrorCode(), EINVAL);
    EXPECT_FALSE(refused.Connected());
    EXPECT_EQ(refused.Log->OpenDevices(), 0);
}

TEST(PortLifecycle, RefusedSettingOnOpenPortKeepsValueAndPort)
{
    RecordingPort port;
    port.Open();
    port.Log->FailCall("SetTimeouts", 5);
    EXPECT_THROW(port.Timeouts().SetWriteTotalConstant(1), EComPort);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1);
    EXPECT_TRUE(port.Connected());
    port.Log->FailCall("SetupQueues", 12);
    EXPECT_EQ(ExpectComError([&] { port.Buffer().SetInputSize(10); }).PortErrorCode(), peSetQueuesFailed);
}

TEST(PortLifecycle, SyncMethodIsRefusedWhileOpenButNotWhileLoading)
{
    RecordingPort port;
    port.SetSyncMethod(smNone);
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.Open();
    port.SetSyncMethod(smNone); // equal: nothing
    const EComPort refused = ExpectComError([&] { port.SetSyncMethod(smWindowSync); });
    EXPECT_EQ(refused.PortErrorCode(), peWhileConnected);
    EXPECT_EQ(refused.SystemErrorCode(), -1);
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.Close();

    RecordingPort loading;
    loading.BeginLoading();
    loading.SetConnected(true);
    loading.SetSyncMethod(smWindowSync);
    EXPECT_EQ(loading.SyncMethod(), smWindowSync);
    EXPECT_EQ(loading.OpenCount, 0);
    loading.SetSyncMethod(smThreadSync);
    loading.EndLoading();
    EXPECT_TRUE(loading.Connected());
    EXPECT_EQ(loading.OpenCount, 1);
}

TEST(PortLifecycle, FailedOpenAfterLoadingIsReportedNotRaised)
{
    TComPort port(nullptr);
    port.SetPort("/nonexistent/velt-port");
    port.BeginLoading();
    port.SetConnected(true);
    EXPECT_NO_THROW(port.EndLoading());
    EXPECT_FALSE(port.Connected());
}

TEST(PortLifecycle, OwnerDestroysThePortAndClosesIt)
{
    auto log = std::make_shared<device::RecordingLog>();
    {
        TComponent owner(nullptr);
        auto* port = new RecordingPort(&owner);
        port->Log = log;
        port->Open();
        EXPECT_EQ(log->OpenDevices(), 1);
    }
    EXPECT_EQ(log->OpenDevices(), 0);
}
