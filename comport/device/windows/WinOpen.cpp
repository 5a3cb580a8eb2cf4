// Opening a serial device on Windows: "\\.\" followed by the port name, for
// exclusive overlapped use.
#include <velt/comport/platform/WideText.h>
#include "WinSerialDevice.h"

namespace device {

std::unique_ptr<WinSerialDevice> WinSerialDevice::Open(const std::string& Port, int& Error)
{
    Error = 0;
    const std::wstring name = L"\\\\.\\" + WideFromUtf8(Port);
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        Error = static_cast<int>(GetLastError());
        return nullptr;
    }
    // Something else under that name (a disk, NUL) has no serial state.
    DCB state{};
    state.DCBlength = sizeof state;
    HANDLE waitEvent = nullptr;
    if (!GetCommState(handle, &state) || (waitEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr)) == nullptr) {
        Error = static_cast<int>(GetLastError());
        CloseHandle(handle);
        return nullptr;
    }
    return std::make_unique<WinSerialDevice>(handle, waitEvent);
}

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& Port, int& Error)
{
    return WinSerialDevice::Open(Port, Error);
}

int InvalidHandleError() { return ERROR_INVALID_HANDLE; }
int InvalidArgumentError() { return ERROR_INVALID_PARAMETER; }

// Windows answers ERROR_ACCESS_DENIED when another program holds the port,
// not because the user lacks a right that could be granted: no advice on
// rights applies.
bool IsAccessDeniedError(int /*SystemErrorCode*/) { return false; }

int AbortedTransferError() { return kAbortedTransferError; }

} // namespace device
