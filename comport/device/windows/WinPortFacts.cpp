// What SetupAPI tells about the ports of the Ports device class: the
// friendly name, the maker, the hardware and instance ids (vendor, product
// and serial number of a USB adapter) and the location. A port SetupAPI
// does not know (Wine knows none) is described by its name alone.
#include <windows.h>

#include <setupapi.h>

#include <velt/comport/device/PortFacts.h>
#include <velt/comport/device/SerialDevice.h>
#include "WinAdapterLatency.h"
#include "WideText.h"

namespace device {

namespace {

// The Ports device class (COM and LPT ports).
constexpr GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

std::string RegistryProperty(HDEVINFO Set, SP_DEVINFO_DATA& Device, DWORD Property)
{
    wchar_t text[512] = {};
    if (!SetupDiGetDeviceRegistryPropertyW(Set, &Device, Property, nullptr, reinterpret_cast<BYTE*>(text),
                                           sizeof text - sizeof(wchar_t), nullptr))
        return {};
    return Utf8FromWide(text); // the first text of a list of several
}

std::string InstanceId(HDEVINFO Set, SP_DEVINFO_DATA& Device)
{
    wchar_t text[512] = {};
    if (!SetupDiGetDeviceInstanceIdW(Set, &Device, text, static_cast<DWORD>(std::size(text) - 1), nullptr))
        return {};
    return Utf8FromWide(text);
}

std::string PortNameOf(HDEVINFO Set, SP_DEVINFO_DATA& Device)
{
    HKEY key = SetupDiOpenDevRegKey(Set, &Device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE)
        return {};
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const LSTATUS status = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? Utf8FromWide(name) : std::string();
}

// The four hex digits after Key ("VID_") in an id, or 0.
uint16_t HexAfter(const std::string& Id, const std::string& Key)
{
    const size_t at = Id.find(Key);
    if (at == std::string::npos || at + Key.size() + 4 > Id.size())
        return 0;
    return static_cast<uint16_t>(std::strtoul(Id.substr(at + Key.size(), 4).c_str(), nullptr, 16));
}

// "USB\VID_0403&PID_6001\A1B2C3": the last part is the adapter's serial
// number, unless Windows made it up (it then holds '&').
std::string SerialFromInstanceId(const std::string& Id)
{
    const size_t last = Id.rfind('\\');
    if (Id.rfind("USB\\", 0) != 0 || last == std::string::npos || last < 4)
        return {};
    const std::string serial = Id.substr(last + 1);
    return serial.find('&') == std::string::npos ? serial : std::string();
}

// "FTDI USB Serial Port (COM3)" without its " (COM3)".
std::string WithoutPortName(std::string Friendly, const std::string& Name)
{
    const std::string suffix = " (" + Name + ")";
    if (Friendly.size() > suffix.size() &&
        Friendly.compare(Friendly.size() - suffix.size(), suffix.size(), suffix) == 0)
        Friendly.resize(Friendly.size() - suffix.size());
    return Friendly;
}

PortFacts FactsOf(HDEVINFO Set, SP_DEVINFO_DATA& Device, const std::string& Name)
{
    PortFacts facts;
    const std::string instance = InstanceId(Set, Device);
    const std::string hardware = RegistryProperty(Set, Device, SPDRP_HARDWAREID);
    facts.Description = WithoutPortName(RegistryProperty(Set, Device, SPDRP_FRIENDLYNAME), Name);
    facts.Manufacturer = RegistryProperty(Set, Device, SPDRP_MFG);
    facts.VendorId = HexAfter(hardware + instance, "VID_");
    facts.ProductId = HexAfter(hardware + instance, "PID_");
    if (facts.VendorId != 0) {
        facts.Kind = PortKind::Usb;
        facts.SerialNumber = SerialFromInstanceId(instance);
        facts.Location = RegistryProperty(Set, Device, SPDRP_LOCATION_INFORMATION);
        facts.LatencyTimer = AdapterLatencyTimer(Set, Device);
    } else if (instance.rfind("ACPI\\", 0) == 0) {
        facts.Kind = PortKind::BuiltInUart;
    }
    return facts;
}

bool SameName(const std::string& A, const std::string& B) { return ListedNameOf(A) == ListedNameOf(B); }

} // namespace

std::vector<PortFacts> DescribeSerialDevices(const std::vector<std::string>& Names)
{
    std::vector<PortFacts> facts(Names.size());
    for (size_t i = 0; i < Names.size(); ++i)
        facts[i].DevicePath = "\\\\.\\" + Names[i];
    HDEVINFO set = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return facts;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        const std::string name = PortNameOf(set, device);
        for (size_t i = 0; i < Names.size(); ++i)
            if (!name.empty() && SameName(name, Names[i])) {
                const std::string path = facts[i].DevicePath;
                facts[i] = FactsOf(set, device, name);
                facts[i].DevicePath = path;
            }
    }
    SetupDiDestroyDeviceInfoList(set);
    return facts;
}

} // namespace device
