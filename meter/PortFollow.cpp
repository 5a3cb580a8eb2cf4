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

} // namespace

TResolvedPort FollowStoredAdapter(TCustomComPort& Port)
{
    const std::string identity = Port.AdapterIdentity();
    if (identity.empty())
        return {prsUnchanged, Port.Port()};
    const auto ports = PresentPorts();
    if (!ports)
        return {prsUnchanged, Port.Port()}; // the stored name is opened, a failure reported as usual
    const TResolvedPort resolved = ResolvePort(Port.Port(), identity, *ports);
    if (resolved.Result == prsMoved) {
        Port.SetPort(resolved.Name); // clears the identity, which stays that adapter's
        Port.SetAdapterIdentity(identity);
    }
    return resolved;
}

void RememberAdapter(TCustomComPort& Port)
{
    // A path or "COM1" is listed under the name of the device it leads to.
    const std::string wanted = UpperCaseAscii(Port.Port());
    const std::string listed = device::ListedNameOf(Port.Port());
    const auto ports = PresentPorts();
    if (!ports)
        return; // what cannot be read now must not erase the identity kept
    for (const TPortDetails& present : *ports)
        if (UpperCaseAscii(present.Name) == wanted || present.Name == listed) {
            Port.SetAdapterIdentity(PortIdentity(present));
            return;
        }
    Port.SetAdapterIdentity({}); // a path the system does not list: no adapter to follow
}
