#include "RegisteredPort.h"

namespace {

// The Ports device class (COM and LPT ports).
constexpr GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr const wchar_t* kNameList = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

std::string ErrorText(const char* Call) { return std::string(Call) + ": error " + std::to_string(GetLastError()); }

void SetListed(const std::wstring& Value, const std::wstring* Name)
{
    HKEY list = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kNameList, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &list,
                        nullptr) != ERROR_SUCCESS)
        return;
    if (Name != nullptr)
        RegSetValueExW(list, Value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Name->c_str()),
                       static_cast<DWORD>((Name->size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(list, Value.c_str());
    RegCloseKey(list);
}

} // namespace

RegisteredPort::RegisteredPort(const std::wstring& InstanceId, const std::wstring& PortName,
                               const std::wstring& Friendly, const std::wstring& Maker, const wchar_t* Location)
{
    FSet = SetupDiCreateDeviceInfoList(&kPortsClass, nullptr);
    FDevice.cbSize = sizeof FDevice;
    if (!SetupDiCreateDeviceInfoW(FSet, InstanceId.c_str(), &kPortsClass, nullptr, nullptr, 0, &FDevice)) {
        Failure = ErrorText("SetupDiCreateDeviceInfo");
        return;
    }
    if (!SetupDiRegisterDeviceInfo(FSet, &FDevice, 0, nullptr, nullptr, nullptr)) {
        Failure = ErrorText("SetupDiRegisterDeviceInfo");
        return;
    }
    FRegistered = true;
    SetText(SPDRP_FRIENDLYNAME, Friendly + L" (" + PortName + L")");
    SetText(SPDRP_MFG, Maker);
    if (Location != nullptr)
        SetText(SPDRP_LOCATION_INFORMATION, Location);
    HKEY key = SetupDiCreateDevRegKeyW(FSet, &FDevice, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
    if (key == INVALID_HANDLE_VALUE) {
        Failure = ErrorText("SetupDiCreateDevRegKey");
        return;
    }
    RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(PortName.c_str()),
                   static_cast<DWORD>((PortName.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    FListedAs = L"\\Device\\VeltTest" + InstanceId.substr(InstanceId.rfind(L'\\') + 1) + PortName;
    SetListed(FListedAs, &PortName);
}

RegisteredPort::~RegisteredPort()
{
    if (!FListedAs.empty())
        SetListed(FListedAs, nullptr);
    if (FRegistered)
        SetupDiRemoveDevice(FSet, &FDevice);
    SetupDiDestroyDeviceInfoList(FSet);
}

void RegisteredPort::SetText(DWORD Property, const std::wstring& Text)
{
    if (!SetupDiSetDeviceRegistryPropertyW(FSet, &FDevice, Property, reinterpret_cast<const BYTE*>(Text.c_str()),
                                           static_cast<DWORD>((Text.size() + 1) * sizeof(wchar_t))))
        Failure = ErrorText("SetupDiSetDeviceRegistryProperty");
}
