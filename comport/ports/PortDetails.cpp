#include <velt/comport/PortDetails.h>

#include <algorithm>
#include <cstdio>

#include <velt/comport/ComError.h>
#include <velt/comport/ComTypes.h>
#include <velt/comport/PortList.h>
#include <velt/comport/device/PortFacts.h>
#include "PortHolders.h"
#include "PortNameOrder.h"

namespace {

TPortDetailsSource& PortDetailsSource()
{
    static TPortDetailsSource source;
    return source;
}

TPortKind KindOf(device::PortKind Kind)
{
    switch (Kind) {
    case device::PortKind::Usb:
        return pkUsb;
    case device::PortKind::BuiltInUart:
        return pkBuiltInUart;
    case device::PortKind::PseudoTerminal:
        return pkPseudoTerminal;
    case device::PortKind::Bluetooth:
        return pkBluetooth;
    case device::PortKind::Other:
        break;
    }
    return pkOther;
}

TPortDetails DetailsOf(const std::string& Name, const device::PortFacts& Facts)
{
    TPortDetails details;
    details.Name = Name;
    details.DevicePath = Facts.DevicePath;
    details.Description = Facts.Description;
    details.Manufacturer = Facts.Manufacturer;
    details.SerialNumber = Facts.SerialNumber;
    details.Location = Facts.Location;
    details.VendorId = Facts.VendorId;
    details.ProductId = Facts.ProductId;
    details.Kind = KindOf(Facts.Kind);
    details.IsUsb = details.Kind == pkUsb;
    details.LatencyTimer = Facts.LatencyTimer;
    return details;
}

std::vector<TPortDetails> MachineDetails()
{
    std::vector<std::string> names;
    ListPortNames(names);
    const std::vector<device::PortFacts> facts = device::DescribeSerialDevices(names);
    std::vector<TPortDetails> details;
    details.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        details.push_back(DetailsOf(names[i], i < facts.size() ? facts[i] : device::PortFacts{}));
    AddPortHolders(details);
    return details;
}

std::string HexId(uint16_t Id)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(Id));
    return text;
}

} // namespace

void ListPortDetails(std::vector<TPortDetails>& List)
{
    if (!PortDetailsSource()) {
        List = MachineDetails();
        return;
    }
    std::vector<TPortDetails> details;
    if (const int error = PortDetailsSource()(details); error != 0)
        throw EComPort(peRegistry, error);
    SortByPortName(details, [](const TPortDetails& Port) -> const std::string& { return Port.Name; });
    List = std::move(details);
}

void SetPortDetailsSource(TPortDetailsSource Source) { PortDetailsSource() = std::move(Source); }

std::string PortIdentity(const TPortDetails& Port)
{
    if (!Port.IsUsb)
        return {};
    std::string identity = "usb:" + HexId(Port.VendorId) + ":" + HexId(Port.ProductId) + ":at:" + Port.Location;
    if (!Port.SerialNumber.empty())
        identity += ":sn:" + Port.SerialNumber;
    return identity;
}

// What the port is, without who holds it.
static std::string DescribeDevice(const TPortDetails& Port)
{
    switch (Port.Kind) {
    case pkBuiltInUart:
        return Port.Name + " \u2013 wbudowany port szeregowy";
    case pkUsb: {
        std::string text =
            Port.Name + " \u2013 " +
            (Port.Description.empty() ? "adapter USB " + HexId(Port.VendorId) + ":" + HexId(Port.ProductId)
                                      : Port.Description);
        if (!Port.Manufacturer.empty())
            text += " (" + Port.Manufacturer + ")";
        if (!Port.SerialNumber.empty())
            text += ", nr " + Port.SerialNumber;
        if (!Port.Location.empty())
            text += ", USB " + Port.Location;
        return text;
    }
    case pkBluetooth:
        return Port.Name + " \u2013 port Bluetooth" + (Port.Description.empty() ? "" : " (" + Port.Description + ")");
    case pkPseudoTerminal:
    case pkOther:
        break;
    }
    return Port.Name;
}

std::string DescribePort(const TPortDetails& Port)
{
    const std::string holders = DescribePortHolders(Port.Holders);
    return DescribeDevice(Port) + (holders.empty() ? "" : ", używany przez: " + holders);
}
