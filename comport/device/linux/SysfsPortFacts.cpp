#include "SysfsPortFacts.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

namespace device {

namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute, or empty when it cannot be read.
std::string ReadAttribute(const fs::path& File)
{
    std::ifstream in(File);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    // A device names itself: its texts reach tables and messages, so no
    // control character of its choosing goes with them.
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return line;
}

uint16_t ReadHexId(const fs::path& File)
{
    const std::string text = ReadAttribute(File);
    if (text.empty() || text.size() > 4)
        return 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    return *end == '\0' ? static_cast<uint16_t>(value) : 0;
}

// The USB device directory the tty hangs below (the one with idVendor), or
// empty when the tty is no USB device's.
fs::path UsbDeviceAbove(const fs::path& Device)
{
    std::error_code error;
    for (fs::path dir = Device; !dir.empty() && dir != dir.root_path(); dir = dir.parent_path())
        if (fs::exists(dir / "idVendor", error))
            return dir;
    return {};
}

bool IsBuiltInUartName(std::string_view Name)
{
    // The kernel's names of the UARTs a machine or its chip carries.
    static constexpr std::array<std::string_view, 8> kPrefixes = {"ttyS",   "ttyAMA", "ttymxc", "ttySAC",
                                                                  "ttyTHS", "ttyMSM", "ttyHS",  "ttyO"};
    for (const std::string_view prefix : kPrefixes)
        if (Name.substr(0, prefix.size()) == prefix && Name.size() > prefix.size())
            return true;
    return false;
}

void ReadUsbFacts(const fs::path& Usb, PortFacts& Facts)
{
    Facts.Kind = PortKind::Usb;
    Facts.VendorId = ReadHexId(Usb / "idVendor");
    Facts.ProductId = ReadHexId(Usb / "idProduct");
    Facts.SerialNumber = ReadAttribute(Usb / "serial");
    Facts.Description = ReadAttribute(Usb / "product");
    Facts.Manufacturer = ReadAttribute(Usb / "manufacturer");
    Facts.Location = Usb.filename().string();
}

// The latency timer that an FTDI adapter's driver shows on the adapter's
// port device (ftdi_sio: "16", or "1" while low latency is asked for); 0
// where the driver shows none.
uint32_t ReadLatencyTimer(const fs::path& Device)
{
    const std::string text = ReadAttribute(Device / "latency_timer");
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && value <= 255 ? static_cast<uint32_t>(value) : 0;
}

} // namespace

PortFacts SysfsPortFacts(const std::string& TtyClassDir, const std::string& KernelName)
{
    PortFacts facts;
    facts.DevicePath = "/dev/" + KernelName;
    if (KernelName.empty() || KernelName.find('/') != std::string::npos)
        return facts;
    std::error_code error;
    const fs::path device = fs::canonical(fs::path(TtyClassDir) / KernelName / "device", error);
    if (error)
        return facts;
    if (const fs::path usb = UsbDeviceAbove(device); !usb.empty()) {
        ReadUsbFacts(usb, facts);
        facts.LatencyTimer = ReadLatencyTimer(device);
    } else if (IsBuiltInUartName(KernelName))
        facts.Kind = PortKind::BuiltInUart;
    return facts;
}

} // namespace device
