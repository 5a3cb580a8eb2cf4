#include "WinAdapterLatency.h"

namespace device {

uint32_t AdapterLatencyTimer(HDEVINFO Set, SP_DEVINFO_DATA& Device)
{
    HKEY key = SetupDiOpenDevRegKey(Set, &Device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE)
        return 0;
    DWORD timer = 0;
    DWORD size = sizeof timer;
    DWORD type = 0;
    const LSTATUS status =
        RegQueryValueExW(key, L"LatencyTimer", nullptr, &type, reinterpret_cast<BYTE*>(&timer), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD && timer <= 255 ? timer : 0;
}

} // namespace device
