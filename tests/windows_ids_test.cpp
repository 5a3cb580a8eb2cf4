// What the Windows device layer reads from the instance ids of the Ports
// class, on ids as real drivers make them. Plain text work: this runs in
// the Linux build and under Wine alike.
#include <gtest/gtest.h>

#include "WinDeviceIds.h"

using device::FactsOfInstanceId;
using device::PortKind;
using device::UsbSerialOfDeviceId;

TEST(WindowsInstanceIds, FtdiDriverPortsCarryTheSerialNumberWithThePortLetter)
{
    const auto single = FactsOfInstanceId("FTDIBUS\\VID_0403+PID_6001+A12345BA\\0000");
    EXPECT_EQ(single.Kind, PortKind::Usb);
    EXPECT_EQ(single.VendorId, 0x0403);
    EXPECT_EQ(single.ProductId, 0x6001);
    EXPECT_EQ(single.SerialNumber, "A12345B");
    EXPECT_EQ(single.Channel, 'A');
    EXPECT_FALSE(single.SerialOnParent);

    // The two ports of a dual chip: one serial number, two letters.
    const auto first = FactsOfInstanceId("FTDIBUS\\VID_0403+PID_6010+FT4ZK3QXA\\0000");
    const auto second = FactsOfInstanceId("ftdibus\\vid_0403+pid_6010+ft4zk3qxb\\0000");
    EXPECT_EQ(first.SerialNumber, "FT4ZK3QX");
    EXPECT_EQ(second.SerialNumber, "ft4zk3qx");
    EXPECT_EQ(first.Channel, 'A');
    EXPECT_EQ(second.Channel, 'B');
    EXPECT_EQ(second.ProductId, 0x6010);

    // A chip without a serial number: Windows makes one up.
    const auto unnamed = FactsOfInstanceId("FTDIBUS\\VID_0403+PID_6015+6&2A3B4C5D&0&2\\0000");
    EXPECT_EQ(unnamed.Kind, PortKind::Usb);
    EXPECT_EQ(unnamed.SerialNumber, "");
    EXPECT_EQ(unnamed.Channel, 0);
}

TEST(WindowsInstanceIds, UsbDevicesPlainAndComposite)
{
    const auto plain = FactsOfInstanceId("USB\\VID_2341&PID_0043\\85736323838351F0E1A1");
    EXPECT_EQ(plain.Kind, PortKind::Usb);
    EXPECT_EQ(plain.VendorId, 0x2341);
    EXPECT_EQ(plain.ProductId, 0x0043);
    EXPECT_EQ(plain.SerialNumber, "85736323838351F0E1A1");

    // An interface of a composite device (usbser.sys): the serial number is
    // the parent's, whose id is read apart.
    const auto composite = FactsOfInstanceId("USB\\VID_2341&PID_0043&MI_00\\6&2A3B4C5D&0&0000");
    EXPECT_EQ(composite.Kind, PortKind::Usb);
    EXPECT_EQ(composite.VendorId, 0x2341);
    EXPECT_TRUE(composite.SerialOnParent);
    EXPECT_EQ(composite.SerialNumber, "");
    EXPECT_EQ(UsbSerialOfDeviceId("USB\\VID_2341&PID_0043\\85736323838351F0E1A1"), "85736323838351F0E1A1");

    // Lower-case hex, and a device without a serial number of its own.
    const auto lower = FactsOfInstanceId("usb\\vid_10c4&pid_ea60\\0001");
    EXPECT_EQ(lower.VendorId, 0x10c4);
    EXPECT_EQ(lower.ProductId, 0xea60);
    EXPECT_EQ(lower.SerialNumber, "0001");
    EXPECT_EQ(FactsOfInstanceId("USB\\VID_1A86&PID_7523\\5&1D6B4F8&0&2").SerialNumber, "");
    EXPECT_EQ(UsbSerialOfDeviceId("USB\\VID_1A86&PID_7523\\5&1D6B4F8&0&2"), "");
    EXPECT_EQ(UsbSerialOfDeviceId("ACPI\\PNP0501\\1"), "");
}

TEST(WindowsInstanceIds, BuiltInBluetoothAndOddIds)
{
    EXPECT_EQ(FactsOfInstanceId("ACPI\\PNP0501\\1").Kind, PortKind::BuiltInUart);
    EXPECT_EQ(FactsOfInstanceId("acpi\\pnp0501\\2").Kind, PortKind::BuiltInUart);
    const auto bluetooth = FactsOfInstanceId(
        "BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0002\\7&2A3B&0&001122334455_C00000000");
    EXPECT_EQ(bluetooth.Kind, PortKind::Bluetooth);
    EXPECT_EQ(bluetooth.VendorId, 0);
    EXPECT_EQ(bluetooth.SerialNumber, "");
    for (const char* odd : {"", "USB", "USB\\", "USB\\VID_XYZW&PID_0001\\A1", "FTDIBUS\\VID_0403\\0000",
                            "FTDIBUS\\VID_0403+PID_6001+\\0000", "ROOT\\PORTS\\0000", "PCI\\VEN_1415&DEV_C138\\3&1"}) {
        const auto facts = FactsOfInstanceId(odd);
        EXPECT_TRUE(facts.Kind == PortKind::Other || facts.Kind == PortKind::Usb) << odd;
        EXPECT_EQ(facts.SerialNumber, "") << odd;
        EXPECT_EQ(facts.Channel, 0) << odd;
    }
}
