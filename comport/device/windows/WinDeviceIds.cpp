#include "WinDeviceIds.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace device {

namespace {

std::string Upper(std::string Text)
{
    std::transform(Text.begin(), Text.end(), Text.begin(), [](unsigned char c) { return std::toupper(c); });
    return Text;
}

bool StartsWith(const std::string& Text, const std::string& Prefix) { return Text.rfind(Prefix, 0) == 0; }

std::vector<std::string> Split(const std::string& Text, char Separator)
{
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t at; (at = Text.find(Separator, from)) != std::string::npos; from = at + 1)
        parts.push_back(Text.substr(from, at - from));
    parts.push_back(Text.substr(from));
    return parts;
}

// The four hex digits after Key ("VID_") in an upper-case id, or 0.
uint16_t HexAfter(const std::string& Id, const std::string& Key)
{
    const size_t at = Id.find(Key);
    if (at == std::string::npos || at + Key.size() + 4 > Id.size())
        return 0;
    const std::string digits = Id.substr(at + Key.size(), 4);
    if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c); }))
        return 0;
    return static_cast<uint16_t>(std::stoul(digits, nullptr, 16));
}

// A serial number that Windows made up for a device without one holds '&'.
std::string RealSerial(const std::string& Text)
{
    return Text.empty() || Text.find('&') != std::string::npos ? std::string() : Text;
}

// "FTDIBUS\VID_0403+PID_6001+A12345BA\0000": vendor, product and the serial
// number followed by the port letter.
InstanceIdFacts FtdiBusFacts(const std::string& Id, const std::string& Upper)
{
    InstanceIdFacts facts;
    facts.Kind = PortKind::Usb;
    facts.VendorId = HexAfter(Upper, "VID_");
    facts.ProductId = HexAfter(Upper, "PID_");
    const std::vector<std::string> parts = Split(Split(Id, '\\').at(1), '+');
    if (parts.size() < 3)
        return facts;
    const std::string serialAndLetter = RealSerial(parts[2]);
    if (serialAndLetter.size() < 2 || !std::isalpha(static_cast<unsigned char>(serialAndLetter.back())))
        return facts;
    facts.SerialNumber = serialAndLetter.substr(0, serialAndLetter.size() - 1);
    facts.Channel = static_cast<char>(std::toupper(static_cast<unsigned char>(serialAndLetter.back())));
    return facts;
}

InstanceIdFacts UsbFacts(const std::string& Id, const std::string& Upper)
{
    InstanceIdFacts facts;
    facts.Kind = PortKind::Usb;
    facts.VendorId = HexAfter(Upper, "VID_");
    facts.ProductId = HexAfter(Upper, "PID_");
    const std::string hardwarePart = Split(Upper, '\\').at(1);
    if (hardwarePart.find("&MI_") != std::string::npos)
        facts.SerialOnParent = true;
    else
        facts.SerialNumber = UsbSerialOfDeviceId(Id);
    return facts;
}

} // namespace

InstanceIdFacts FactsOfInstanceId(const std::string& Id)
{
    const std::string upper = Upper(Id);
    if (std::count(Id.begin(), Id.end(), '\\') < 2)
        return {};
    if (StartsWith(upper, "FTDIBUS\\"))
        return FtdiBusFacts(Id, upper);
    if (StartsWith(upper, "USB\\") && HexAfter(upper, "VID_") != 0)
        return UsbFacts(Id, upper);
    InstanceIdFacts facts;
    if (StartsWith(upper, "ACPI\\PNP0501\\") || StartsWith(upper, "ACPI\\PNP0500\\"))
        facts.Kind = PortKind::BuiltInUart;
    else if (StartsWith(upper, "BTHENUM\\"))
        facts.Kind = PortKind::Bluetooth;
    return facts;
}

std::string UsbSerialOfDeviceId(const std::string& Id)
{
    const std::vector<std::string> parts = Split(Id, '\\');
    if (parts.size() != 3 || Upper(parts[0]) != "USB")
        return {};
    return RealSerial(parts[2]);
}

} // namespace device
