#include <velt/comport/ComError.h>

#include <array>

#include <velt/comport/device/SerialDevice.h>

namespace {
constexpr std::array<const char*, 24> kMessages = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
    "No settings dialog is available in this program",
};
} // namespace

std::string PortErrorText(int32_t Code)
{
    if (Code < 1 || Code > static_cast<int32_t>(kMessages.size()))
        return "Unknown port error " + std::to_string(Code);
    return kMessages[static_cast<size_t>(Code - 1)];
}

EComPort::EComPort(int32_t ACode, int32_t ASystemErrorCode)
    : Exception(PortErrorText(ACode) + " (win error code: " + std::to_string(ASystemErrorCode) + ")"),
      FSystemErrorCode(ASystemErrorCode), FPortErrorCode(ACode)
{
}

EComPort::EComPort(int32_t ACode) : Exception(PortErrorText(ACode)), FSystemErrorCode(-1), FPortErrorCode(ACode) {}

bool EComPort::AccessDenied() const { return device::IsAccessDeniedError(FSystemErrorCode); }

TOpenFailure EComPort::OpenFailure() const
{
    if (FSystemErrorCode < 0)
        return ofOther;
    if (device::IsNoSuchDeviceError(FSystemErrorCode))
        return ofNoSuchPort;
    if (device::IsDeviceBusyError(FSystemErrorCode))
        return ofInUse;
    return AccessDenied() ? ofAccessDenied : ofOther;
}
