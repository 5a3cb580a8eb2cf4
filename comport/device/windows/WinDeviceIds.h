#pragma once
// What the device instance ids of the Ports class tell about a serial port.
// Plain text work without a system call, so that it is tested on the ids
// themselves on every platform.
#include <cstdint>
#include <string>

#include <velt/comport/device/PortFacts.h>

namespace device {

struct InstanceIdFacts {
    PortKind Kind = PortKind::Other;
    uint16_t VendorId = 0;
    uint16_t ProductId = 0;
    std::string SerialNumber; // the adapter's own; empty when it has none
    // A port of a multi-port FTDI chip ('A', 'B', ...); 0 for other ports.
    char Channel = 0;
    // An interface of a composite USB device ("&MI_00"): the serial number
    // is its parent's, "USB\VID_x&PID_y\<serial>" (UsbSerialOfDeviceId).
    bool SerialOnParent = false;
};

// Reads an instance id as SetupAPI gives it, in any case:
//   FTDIBUS\VID_0403+PID_6001+A12345BA\0000     FTDI's driver: the serial
//       number with the chip's port letter appended
//   USB\VID_2341&PID_0043&MI_00\6&2A3B...&0&0000 an interface of a composite
//       device (usbser.sys): the serial number is on the parent
//   USB\VID_2341&PID_0043\85736323838351F0E1A1    a plain USB device
//   ACPI\PNP0501\1                                a built-in UART
//   BTHENUM\{...}_LOCALMFG&0002\...               a Bluetooth serial port
InstanceIdFacts FactsOfInstanceId(const std::string& Id);

// The serial number in the last part of a USB device's id, or empty when
// Windows made that part up (it then holds '&') or the id is no USB id.
std::string UsbSerialOfDeviceId(const std::string& Id);

} // namespace device
