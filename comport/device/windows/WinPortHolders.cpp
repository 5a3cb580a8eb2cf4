// Who else holds a serial device open: Windows does not tell a program
// which process holds a COM port, so a port in use is only said to be.
#include <velt/comport/device/PortFacts.h>

#include <windows.h>

namespace device {

// A COM port open elsewhere refuses the next CreateFile with access denied.
bool IsPortInUseError(int SystemErrorCode)
{
    return SystemErrorCode == ERROR_ACCESS_DENIED || SystemErrorCode == ERROR_SHARING_VIOLATION;
}

std::vector<PortHolders> FindPortHolders(const std::vector<std::string>& DevicePaths)
{
    return std::vector<PortHolders>(DevicePaths.size());
}

} // namespace device
