// The port's settings: defaults, text forms, event masks, the summary of the
// flow control and the rules of the settings objects.
#include <gtest/gtest.h>

#include <velt/comport/ComPort.h>
#include <velt/comport/framework/Exception.h>
#include "support/ComErrors.h"

TEST(SettingsModel, FreshPortHasTheDocumentedDefaults)
{
    TComPort port(nullptr);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.CustomBaudRate(), 9600);
    EXPECT_EQ(port.Port(), "COM1");
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.FlowControl().FlowControl(), fcNone);
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(port.Timeouts().ReadTotalMultiplier(), 0);
    EXPECT_EQ(port.Timeouts().ReadTotalConstant(), 0);
    EXPECT_EQ(port.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(port.Buffer().InputSize(), 1024);
    EXPECT_EQ(port.Buffer().OutputSize(), 1024);
    EXPECT_EQ(port.Events(), AllComEvents());
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.SettingsGroups(), TSettingsGroups{sgBasic});
    EXPECT_TRUE(port.AnnounceRxChar());
    EXPECT_EQ(port.Parity().OwnerPort(), &port);
}

TEST(SettingsModel, TextToValueComparesWholeTextWithoutCaseAndFallsBack)
{
    EXPECT_EQ(TextToBaudRate("custom"), brCustom);
    EXPECT_EQ(TextToBaudRate("19200"), br19200);
    EXPECT_EQ(TextToBaudRate("19200 "), br9600);
    EXPECT_EQ(TextToBaudRate("256000"), br256000);
    EXPECT_EQ(TextToStopBits("1,5"), sbOneStopBit);
    EXPECT_EQ(TextToStopBits("1.5"), sbOne5StopBits);
    EXPECT_EQ(TextToDataBits("7"), dbSeven);
    EXPECT_EQ(TextToDataBits("9"), dbEight);
    EXPECT_EQ(TextToParity("even"), prEven);
    EXPECT_EQ(TextToFlowControl(""), fcCustom);
    EXPECT_EQ(TextToFlowControl("HARDWARE"), fcHardware);
    for (int i = 0; i < kBaudRateCount; ++i) {
        const auto rate = static_cast<TBaudRate>(i);
        EXPECT_EQ(TextToBaudRate(BaudRateToText(rate)), rate);
    }
}

TEST(SettingsModel, EventMaskFollowsTheTableNotTheOrdinals)
{
    EXPECT_EQ(EventsToMask(AllComEvents()), 0x05FFu);
    EXPECT_EQ(EventsToMask({}), 0u);
    EXPECT_EQ(EventsToMask({evRxChar, evRx80Full}), 0x0401u);
    EXPECT_EQ(MaskToEvents(0x0200), TComEvents{});
    EXPECT_EQ(MaskToEvents(0x0104), (TComEvents{evTxEmpty, evRing}));
    for (uint32_t bits = 0; bits < (1u << kComEventCount); ++bits) {
        const auto events = TComEvents::FromBits(static_cast<uint16_t>(bits));
        EXPECT_EQ(MaskToEvents(EventsToMask(events)), events);
    }
}

TEST(SettingsModel, FlowControlSummaryIsDerivedFromTheFields)
{
    TComFlowControl flow;
    flow.SetControlRTS(rtsHandshake);
    flow.SetOutCTSFlow(true);
    flow.SetOutDSRFlow(true);
    EXPECT_EQ(flow.FlowControl(), fcHardware);

    TComFlowControl enableOnly;
    enableOnly.SetControlRTS(rtsEnable);
    EXPECT_EQ(enableOnly.FlowControl(), fcCustom);

    // Writing a summary touches only RTS, CTS flow and the XON/XOFF flags.
    flow.SetControlDTR(dtrEnable);
    flow.SetDSRSensitivity(true);
    flow.SetFlowControl(fcNone);
    EXPECT_EQ(flow.ControlRTS(), rtsDisable);
    EXPECT_FALSE(flow.OutCTSFlow());
    EXPECT_TRUE(flow.OutDSRFlow());
    EXPECT_EQ(flow.ControlDTR(), dtrEnable);
    EXPECT_TRUE(flow.DSRSensitivity());
    for (TFlowControl v : {fcHardware, fcSoftware, fcNone}) {
        flow.SetFlowControl(v);
        EXPECT_EQ(flow.FlowControl(), v);
    }
    flow.SetFlowControl(fcSoftware);
    flow.SetFlowControl(fcCustom);
    EXPECT_TRUE(flow.XonXoffIn());
    EXPECT_TRUE(flow.XonXoffOut());
}

TEST(SettingsModel, BufferSizesStayEven)
{
    TComBuffer buffer;
    const std::pair<int32_t, int32_t> cases[] = {{1025, 1024}, {1, 0}, {0, 0}, {-3, -3}, {7, 6}, {4096, 4096}};
    for (const auto& [written, stored] : cases) {
        buffer.SetInputSize(written);
        EXPECT_EQ(buffer.InputSize(), stored) << written;
    }
}

TEST(SettingsModel, CopyingTakesEveryFieldButNotTheOwner)
{
    TComPort port(nullptr);
    TComTimeouts timeouts;
    timeouts.SetReadInterval(5);
    timeouts.SetWriteTotalConstant(7);
    port.SetTimeouts(timeouts);
    EXPECT_EQ(port.Timeouts().ReadInterval(), 5);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 7);
    EXPECT_EQ(port.Timeouts().OwnerPort(), &port);
    EXPECT_EQ(timeouts.OwnerPort(), nullptr);

    // Copying a buffer object takes odd sizes unchanged.
    TComBuffer odd;
    odd.Assign(&port.Buffer());
    TComBuffer source;
    source.SetOutputSize(2);
    port.SetBuffer(source);
    EXPECT_EQ(port.Buffer().OutputSize(), 2);
}

TEST(SettingsModel, CopyingFromAnotherClassIsRefusedAndChangesNothing)
{
    TComParity parity;
    parity.SetBits(prOdd);
    TComTimeouts timeouts;
    try {
        parity.Assign(&timeouts);
        FAIL() << "assignment from another class must be refused";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TComTimeouts to a TComParity");
    }
    EXPECT_EQ(parity.Bits(), prOdd);
    EXPECT_THROW(parity.Assign(nullptr), EConvertError);
    try {
        parity.Assign(nullptr);
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a nil to a TComParity");
    }
}

TEST(SettingsModel, PortErrorsCarryCodeAndPlatformNumber)
{
    const EComPort withNumber(peOpenDevice, 2);
    EXPECT_STREQ(withNumber.what(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(withNumber.PortErrorCode(), 1);
    EXPECT_EQ(withNumber.SystemErrorCode(), 2);
    const EComPort bare(peWhileConnected);
    EXPECT_STREQ(bare.what(), "Cannot set property while connected");
    EXPECT_EQ(bare.SystemErrorCode(), -1);
    EXPECT_EQ(PortErrorText(23), "Registry error");
    EXPECT_EQ(PortErrorText(6), "Unable to get async status");

    // A program that installed no setup dialog: a port error like any other.
    TComPort port(nullptr);
    const EComPort e = ExpectComError([&] { port.ShowSettingsDialog(); });
    EXPECT_EQ(e.PortErrorCode(), peNoSettingsDialog);
    EXPECT_STREQ(e.what(), "No settings dialog is available in this program");

    // A dialog tells its confirmation by writing its choices in one settings
    // update; cancelled, it writes nothing.
    bool confirm = true;
    TCustomComPort::SetSettingsDialog([&](TCustomComPort& Port) {
        if (!confirm)
            return;
        Port.BeginSettingsUpdate();
        Port.SetPort("ttyUSB1");
        Port.EndSettingsUpdate();
    });
    EXPECT_TRUE(port.ShowSettingsDialog());
    confirm = false;
    EXPECT_FALSE(port.ShowSettingsDialog());
    TCustomComPort::SetSettingsDialog({});
}
