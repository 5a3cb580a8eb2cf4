// What SetupAPI tells about the ports of the Ports device class: the
// friendly name, the maker, the instance id (what kind of port, vendor,
// product and serial number of a USB adapter, WinDeviceIds) and the
// location. A composite USB device's port takes the serial number from its
// parent; the location is the port's location paths (stable across re-plugs
// in the same socket), else its parent's, else the parent's location
// information ("Port_#0002.Hub_#0001"): an FTDI port sits on FTDI's bus,
// below the USB device that has them. A port SetupAPI does not know (Wine
// knows none of its own) is described by its name alone.
#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

#include <velt/comport/device/PortFacts.h>
#include <velt/comport/device/SerialDevice.h>
#include <velt/comport/platform/WideText.h>

#include "WinAdapterLatency.h"
#include "WinDeviceIds.h"

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

// The first text of a device node's property, or empty.
std::string NodeProperty(DEVINST Node, ULONG Property)
{
    wchar_t text[512] = {};
    ULONG size = sizeof text - sizeof(wchar_t);
    if (CM_Get_DevNode_Registry_PropertyW(Node, Property, nullptr, text, &size, 0) != CR_SUCCESS)
        return {};
    return Utf8FromWide(text);
}

std::string NodeId(DEVINST Node)
{
    wchar_t text[MAX_DEVICE_ID_LEN + 1] = {};
    if (CM_Get_Device_IDW(Node, text, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS)
        return {};
    return Utf8FromWide(text);
}

// The USB device above a port, or 0.
DEVINST ParentOf(DEVINST Node)
{
    DEVINST parent = 0;
    return CM_Get_Parent(&parent, Node, 0) == CR_SUCCESS ? parent : 0;
}

std::string UsbLocation(HDEVINFO Set, SP_DEVINFO_DATA& Device, DEVINST Parent)
{
    std::string location = RegistryProperty(Set, Device, SPDRP_LOCATION_PATHS);
    if (location.empty() && Parent != 0)
        location = NodeProperty(Parent, CM_DRP_LOCATION_PATHS);
    if (location.empty() && Parent != 0)
        location = NodeProperty(Parent, CM_DRP_LOCATION_INFORMATION);
    if (location.empty())
        location = RegistryProperty(Set, Device, SPDRP_LOCATION_INFORMATION);
    return location;
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
    const InstanceIdFacts id = FactsOfInstanceId(InstanceId(Set, Device));
    facts.Description = WithoutPortName(RegistryProperty(Set, Device, SPDRP_FRIENDLYNAME), Name);
    facts.Manufacturer = RegistryProperty(Set, Device, SPDRP_MFG);
    facts.Kind = id.Kind;
    facts.VendorId = id.VendorId;
    facts.ProductId = id.ProductId;
    facts.SerialNumber = id.SerialNumber;
    if (id.Kind != PortKind::Usb)
        return facts;
    const DEVINST parent = ParentOf(Device.DevInst);
    if (id.SerialOnParent && parent != 0)
        facts.SerialNumber = UsbSerialOfDeviceId(NodeId(parent));
    facts.Location = UsbLocation(Set, Device, parent);
    facts.LatencyTimer = AdapterLatencyTimer(Set, Device);
    // The ports of a multi-port chip share serial number and socket.
    if (id.Channel != 0 && id.Channel != 'A')
        facts.Location += std::string(":") + id.Channel;
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
