#include "PortFollow.h"

#include <velt/comport/ComPort.h>
#include <velt/comport/ComTypes.h>
#include <velt/comport/device/SerialDevice.h>

namespace {

// The details of the present ports, or none when they cannot be read.
std::vector<TPortDetails> PresentPorts()
{
    std::vector<TPortDetails> present;
    try {
        ListPortDetails(present);
    } catch (const EComPort&) {
        present.clear();
    }
    return present;
}

} // namespace

TResolvedPort FollowStoredAdapter(TCustomComPort& Port)
{
    const std::string identity = Port.AdapterIdentity();
    if (identity.empty())
        return {prsUnchanged, Port.Port()};
    const TResolvedPort resolved = ResolvePort(Port.Port(), identity, PresentPorts());
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
    for (const TPortDetails& present : PresentPorts())
        if (UpperCaseAscii(present.Name) == wanted || present.Name == listed) {
            Port.SetAdapterIdentity(PortIdentity(present));
            return;
        }
    Port.SetAdapterIdentity({}); // a path the system does not list: no adapter to follow
}
