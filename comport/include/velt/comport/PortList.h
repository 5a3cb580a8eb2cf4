#pragma once
/// @file
/// The list of serial ports offered to the operator, and the test seam that
/// lets a test decide which devices the machine has.
#include <velt/comport/Export.h>
#include <functional>
#include <string>
#include <vector>

/// Replaces the content of List with the names of the serial devices present,
/// sorted by text without regard to letter case (so COM10 comes before COM2);
/// duplicates stay. Raises EComPort peRegistry with the platform error number
/// when the list cannot be read, leaving List as it was.
VELT_COMPORT_EXPORT void ListPortNames(std::vector<std::string>& List);

/// Where ListPortNames takes the names from: returns 0, or the error number
/// when the names cannot be read. An empty source restores the device layer's
/// own list; tests install a fixed one so they never depend on this machine.
using TPortNameSource = std::function<int(std::vector<std::string>& Names)>;
VELT_COMPORT_EXPORT void
SetPortNameSource(TPortNameSource Source); ///< Installs Source (empty: the machine's own list).

/// Whether Port is a path ("/dev/pts/5", a socat link) to a character device
/// that exists now. Such a port is usable though the kernel does not list it
/// among its serial devices.
VELT_COMPORT_EXPORT bool IsExistingDevicePath(const std::string& Port);
