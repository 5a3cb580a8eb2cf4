#pragma once
// The platform's list of serial ports: the values of the registry key
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, one per port, whose
// text data is the port's name ("COM3").
#include <windows.h>

#include <string>
#include <vector>

namespace device {

// The port names held by the text values of an open key, in the key's
// order; values of other kinds are skipped. 0 or the error number.
int ListSerialDevicesIn(HKEY Key, std::vector<std::string>& Names);

} // namespace device
