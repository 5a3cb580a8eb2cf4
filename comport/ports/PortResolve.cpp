#include <velt/comport/PortDetails.h>

#include <string_view>

#include <velt/comport/ComTypes.h>
#include <velt/comport/device/SerialDevice.h>

namespace {

// The parts of a stored identity: "usb:VVVV:PPPP:at:LOCATION[:sn:SERIAL]".
struct TIdentityParts {
    std::string VendorProduct; // "0403:6001"
    std::string Location;
    std::string SerialNumber;
    bool Valid = false;
};

TIdentityParts SplitIdentity(std::string_view Identity)
{
    TIdentityParts parts;
    constexpr std::string_view kUsb = "usb:";
    constexpr std::string_view kAt = ":at:";
    constexpr std::string_view kSerial = ":sn:";
    constexpr size_t kIdsLength = 9; // "VVVV:PPPP"
    if (Identity.substr(0, kUsb.size()) != kUsb || Identity.size() < kUsb.size() + kIdsLength + kAt.size() ||
        Identity.substr(kUsb.size() + kIdsLength, kAt.size()) != kAt)
        return parts;
    parts.VendorProduct = Identity.substr(kUsb.size(), kIdsLength);
    std::string_view rest = Identity.substr(kUsb.size() + kIdsLength + kAt.size());
    // The location never holds ":sn:"; the serial number, which comes last,
    // may hold anything.
    if (const size_t serial = rest.find(kSerial); serial != std::string_view::npos) {
        parts.SerialNumber = rest.substr(serial + kSerial.size());
        rest = rest.substr(0, serial);
    }
    parts.Location = rest;
    parts.Valid = true;
    return parts;
}

std::string VendorProductOf(const TPortDetails& Port)
{
    const std::string identity = PortIdentity(Port); // "usb:VVVV:PPPP:at:..."
    return identity.size() >= 13 ? identity.substr(4, 9) : std::string();
}

bool IsCandidate(const TPortDetails& Port, const TIdentityParts& Stored)
{
    return Port.IsUsb && VendorProductOf(Port) == Stored.VendorProduct && Port.SerialNumber == Stored.SerialNumber;
}

// Of several candidates, the only one at the stored location, if any.
const TPortDetails* OnlyAtLocation(const std::vector<const TPortDetails*>& Candidates, const std::string& Location)
{
    const TPortDetails* found = nullptr;
    for (const TPortDetails* port : Candidates)
        if (port->Location == Location) {
            if (found != nullptr)
                return nullptr;
            found = port;
        }
    return found;
}

} // namespace

const TPortDetails* FindListedPort(const std::string& Name, const std::vector<TPortDetails>& Listed)
{
    if (Name.empty())
        return nullptr;
    const std::string wanted = UpperCaseAscii(Name);
    for (const TPortDetails& port : Listed)
        if (UpperCaseAscii(port.Name) == wanted || (!port.DevicePath.empty() && port.DevicePath == Name))
            return &port;
    // "COM1" is listed as "ttyS0", a by-id link by the node it leads to.
    const std::string listedName = UpperCaseAscii(device::ListedNameOf(Name));
    for (const TPortDetails& port : Listed)
        if (!listedName.empty() && UpperCaseAscii(port.Name) == listedName)
            return &port;
    return nullptr;
}

std::string DescribeAdapterIdentity(const std::string& Identity)
{
    const TIdentityParts parts = SplitIdentity(Identity);
    if (!parts.Valid)
        return {};
    const std::string adapter = "adapter USB " + parts.VendorProduct;
    if (!parts.SerialNumber.empty())
        return adapter + ", nr " + parts.SerialNumber;
    return parts.Location.empty() ? adapter : adapter + ", USB " + parts.Location;
}

TResolvedPort ResolvePort(const std::string& StoredName, const std::string& StoredIdentity,
                          const std::vector<TPortDetails>& Present)
{
    const TIdentityParts stored = SplitIdentity(StoredIdentity);
    if (!stored.Valid)
        return {prsUnchanged, StoredName};
    const TPortDetails* named = FindListedPort(StoredName, Present);
    if (named != nullptr && PortIdentity(*named) == StoredIdentity)
        return {prsUnchanged, StoredName};
    std::vector<const TPortDetails*> candidates;
    for (const TPortDetails& port : Present)
        if (IsCandidate(port, stored))
            candidates.push_back(&port);
    const TPortDetails* chosen =
        candidates.size() == 1 ? candidates.front() : OnlyAtLocation(candidates, stored.Location);
    if (chosen != nullptr && chosen != named)
        return {prsMoved, chosen->Name};
    if (chosen != nullptr)
        return {prsUnchanged, StoredName};
    return {candidates.empty() ? prsMissing : prsAmbiguous, StoredName};
}
