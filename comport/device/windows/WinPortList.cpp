#include "WinPortList.h"

#include <algorithm>

#include <velt/comport/device/SerialDevice.h>
#include <velt/comport/platform/WideText.h>

namespace device {

int ListSerialDevicesIn(HKEY Key, std::vector<std::string>& Names)
{
    DWORD valueCount = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    LSTATUS status = RegQueryInfoKeyW(Key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount,
                                      &longestName, &longestData, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        return static_cast<int>(status);
    std::vector<std::string> names;
    std::wstring name(longestName + 1, L'\0');
    std::wstring data(longestData / sizeof(wchar_t) + 1, L'\0');
    for (DWORD i = 0; i < valueCount; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        status = RegEnumValueW(Key, i, name.data(), &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                               &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break; // a port went away while the list was read
        if (status != ERROR_SUCCESS)
            return static_cast<int>(status);
        if (type != REG_SZ)
            continue;
        // The stored text may or may not end with its zero.
        std::wstring_view port(data.data(), dataSize / sizeof(wchar_t));
        while (!port.empty() && port.back() == L'\0')
            port.remove_suffix(1);
        if (!port.empty())
            names.push_back(Utf8FromWide(port));
    }
    Names = std::move(names);
    return 0;
}

int ListSerialDevices(std::vector<std::string>& Names)
{
    HKEY key = nullptr;
    const LSTATUS status =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key);
    if (status == ERROR_FILE_NOT_FOUND) {
        Names.clear(); // the key exists only while some serial port does
        return 0;
    }
    if (status != ERROR_SUCCESS)
        return static_cast<int>(status);
    const int error = ListSerialDevicesIn(key, Names);
    RegCloseKey(key);
    return error;
}

std::string ListedNameOf(const std::string& Port)
{
    // The system lists a port by its own name ("COM3"), which Windows
    // compares without regard to letter case.
    std::string name = Port;
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c);
    });
    return name;
}

} // namespace device
