#pragma once
/// @file
/// Who holds a serial device open: on Linux the processes whose descriptors
/// (/proc/<pid>/fd) lead to it; processes whose descriptors the user may not
/// look at are counted, not named. Elsewhere nothing is known.
#include <velt/comport/Export.h>
#include <string>
#include <vector>

namespace device {

/// A process that holds the device open.
struct VELT_COMPORT_EXPORT PortHolder {
    int Pid = 0;         ///< its process id
    std::string Program; ///< its program's name as the system shows it
};

/// The processes that hold a device open.
struct VELT_COMPORT_EXPORT PortHolders {
    std::vector<PortHolder> Named; ///< those that could be looked into, by process id
    int NotChecked = 0;            ///< processes whose descriptors the user may not read
};

/// Who holds the device the port name Port stands for ("ttyUSB0", "COM1", a
/// path). Empty where the system does not tell.
VELT_COMPORT_EXPORT PortHolders FindPortHolders(const std::string& Port);

} // namespace device
