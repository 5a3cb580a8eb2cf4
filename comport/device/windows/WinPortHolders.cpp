// Windows does not tell which process holds a COM port open: the port is
// only reported busy.
#include <velt/comport/device/PortHolders.h>

namespace device {

PortHolders FindPortHolders(const std::string&) { return {}; }

} // namespace device
