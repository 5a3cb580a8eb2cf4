// What the error number of a failed open of a COM port means on Windows.
#include <windows.h>

#include <velt/comport/device/SerialDevice.h>

namespace device {

bool IsNoSuchDeviceError(int SystemErrorCode)
{
    return SystemErrorCode == ERROR_FILE_NOT_FOUND || SystemErrorCode == ERROR_PATH_NOT_FOUND;
}

// A COM port is opened for exclusive use: another program holding it makes
// the open fail with access denied (or a sharing violation).
bool IsDeviceBusyError(int SystemErrorCode)
{
    return SystemErrorCode == ERROR_ACCESS_DENIED || SystemErrorCode == ERROR_SHARING_VIOLATION;
}

} // namespace device
