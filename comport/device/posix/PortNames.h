#pragma once
// Port names and the device paths they stand for, and the list of serial
// devices present. The bodies are the system's: linux/PortNames.cpp (device
// nodes under /dev, the list from sysfs); another system gives its own in
// its folder.
#include <string>
#include <vector>

namespace device {

// "/..." is a path as it stands; "COMn" (n >= 1, any letter case) is
// /dev/ttyS{n-1}; any other name lives under /dev/. Empty for a name that
// names no device: an empty one, one with a zero byte, and one that is not a
// path but holds a "/".
std::string DevicePathFor(const std::string& Port);

// The kernel names of serial devices under a sysfs tty class directory
// (normally /sys/class/tty): entries with a "device" link, without the
// on-board ttyS placeholders whose "type" reads 0. Sorted without regard to
// case. 0 or errno when the directory cannot be read.
int ListSerialDevicesUnder(const std::string& TtyClassDir, std::vector<std::string>& Names);

} // namespace device
