#pragma once
// The device control record of the device interface and the system's DCB.
#include <windows.h>

#include <velt/comport/device/SerialDevice.h>

namespace device {

// The same members with the same values; the system's record has reserved
// words that ours does not.
DCB ToSystemDcb(const DeviceControlBlock& Dcb);

// Whether the driver took what was asked for: a driver may accept a record
// and quietly keep other values (a rate it cannot make, a format the line
// cannot carry). Compared are the members that decide what goes over the
// line and how it is paced; the modem-line modes, the flow-control limits
// and the error character are left out, because drivers report them from
// the line's state or keep values of their own.
bool DriverTookSettings(const DCB& Wanted, const DCB& Taken);

} // namespace device
