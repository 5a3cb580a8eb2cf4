#include "PortFollow.h"

#include <optional>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComTypes.h>
#include <velt/comport/device/SerialDevice.h>

namespace {

// The details of the present ports; nothing when they cannot be read.
std::optional<std::vector<TPortDetails>> PresentPorts()
{
    std::vector<TPortDetails> present;
    try {
        ListPortDetails(present);
    } catch (const EComPort&) {
        return std::nullopt;
    }
    return present;
}

// The listed port that Name opens; a path or "COM1" is listed under the
// name of the device it leads to.
const TPortDetails* ListedAs(const std::string& Name, const std::vector<TPortDetails>& Ports)
{
    const std::string wanted = UpperCaseAscii(Name);
    const std::string listed = device::ListedNameOf(Name);
    for (const TPortDetails& present : Ports)
        if (UpperCaseAscii(present.Name) == wanted || present.Name == listed)
            return &present;
    return nullptr;
}

} // namespace

FollowedPort FollowStoredAdapter(TCustomComPort& Port)
{
    const std::string identity = Port.AdapterIdentity();
    if (identity.empty())
        return {prsUnchanged, Port.Port(), {}, {}};
    const auto ports = PresentPorts();
    if (!ports)
        return {prsUnchanged, Port.Port(), {}, {}}; // the stored name is opened, a failure reported as usual
    const TResolvedPort resolved = ResolvePort(Port.Port(), identity, *ports);
    FollowedPort followed{resolved.Result, resolved.Name, {}, {}};
    if (resolved.Result == prsMoved) {
        Port.SetPort(resolved.Name); // clears the identity, which stays that adapter's
        Port.SetAdapterIdentity(identity);
    }
    if (resolved.Result == prsMissing) {
        followed.Wanted = DescribeAdapterIdentity(identity);
        if (const TPortDetails* there = ListedAs(Port.Port(), *ports))
            followed.NowThere = DescribePort(*there);
    }
    return followed;
}

void RememberAdapter(TCustomComPort& Port)
{
    const auto ports = PresentPorts();
    if (!ports)
        return; // what cannot be read now must not erase the identity kept
    const TPortDetails* present = ListedAs(Port.Port(), *ports);
    // A path the system does not list: no adapter to follow.
    Port.SetAdapterIdentity(present != nullptr ? PortIdentity(*present) : std::string());
}
