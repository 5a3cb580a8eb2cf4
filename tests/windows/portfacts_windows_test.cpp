// The port details on Windows, from devices of the Ports class registered in
// Wine's SetupAPI with the instance ids and properties real drivers give.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include <velt/comport/device/PortFacts.h>

#include "RegisteredPort.h"

TEST(PortFactsOnWine, RegisteredPortsAreDescribedByTheirIds)
{
    RegisteredPort ftdi(L"FTDIBUS\\VID_0403+PID_6001+A12345BA\\0000", L"COM9", L"USB Serial Port", L"FTDI",
                        L"Port_#0002.Hub_#0001");
    REQUIRE_REGISTERED(ftdi);
    RegisteredPort uart(L"ACPI\\PNP0501\\1", L"COM1", L"Communications Port", L"(Standard port types)", nullptr);
    RegisteredPort bluetooth(
        L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2A3B&0&001122334455_C00000000", L"COM5",
        L"Standard Serial over Bluetooth link", L"Microsoft", nullptr);
    const std::vector<device::PortFacts> facts = device::DescribeSerialDevices({"COM9", "COM1", "COM5", "COM6"});
    ASSERT_EQ(facts.size(), 4u);
    if (facts[0].Kind == device::PortKind::Other)
        GTEST_SKIP() << "Wine's SetupAPI lists no registered device of the Ports class as present";
    EXPECT_EQ(facts[0].Kind, device::PortKind::Usb);
    EXPECT_EQ(facts[0].VendorId, 0x0403);
    EXPECT_EQ(facts[0].ProductId, 0x6001);
    EXPECT_EQ(facts[0].SerialNumber, "A12345B");
    EXPECT_EQ(facts[0].Description, "USB Serial Port");
    EXPECT_EQ(facts[0].Manufacturer, "FTDI");
    EXPECT_EQ(facts[0].Location, "Port_#0002.Hub_#0001");
    EXPECT_EQ(facts[0].DevicePath, "\\\\.\\COM9");
    EXPECT_EQ(facts[1].Kind, device::PortKind::BuiltInUart);
    EXPECT_EQ(facts[2].Kind, device::PortKind::Bluetooth);
    EXPECT_EQ(facts[2].VendorId, 0);
    EXPECT_EQ(facts[3].Kind, device::PortKind::Other);
}
