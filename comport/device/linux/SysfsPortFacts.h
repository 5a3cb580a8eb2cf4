#pragma once
// The facts of a tty device as sysfs shows them, read without udev: the
// device link of /sys/class/tty/<name> and, for a USB adapter, the USB
// device's directory above it (idVendor, idProduct, serial, product,
// manufacturer; its own name is the bus and port path, "1-1.2").
#include <string>

#include <velt/comport/device/PortFacts.h>

namespace device {

// The facts of the tty KernelName ("ttyUSB0") under a sysfs tty class
// directory (normally /sys/class/tty). Kind and texts stay empty for a name
// sysfs does not know.
PortFacts SysfsPortFacts(const std::string& TtyClassDir, const std::string& KernelName);

} // namespace device
