#include "PortFollow.h"

#include <vector>

#include <velt/comport/ComError.h>
#include <velt/comport/ComPort.h>

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

TFollowedPort FollowStoredAdapter(TCustomComPort& Port)
{
    TFollowedPort followed;
    followed.Result = prsUnchanged;
    followed.Name = Port.Port();
    const auto ports = PresentPorts();
    if (!ports)
        return followed; // the stored name is opened, a failure reported as usual
    const std::string identity = Port.AdapterIdentity();
    if (!identity.empty())
        static_cast<TResolvedPort&>(followed) = ResolvePort(Port.Port(), identity, *ports);
    if (followed.Result == prsMoved)
        Port.SetPort(followed.Name, identity);
    const TPortDetails* listed = FindListedPort(followed.Name, *ports);
    followed.Identity = listed != nullptr ? PortIdentity(*listed) : std::string(); // a path the system does not list
    return followed;
}

void RememberAdapter(TCustomComPort& Port, const TFollowedPort& Followed)
{
    if (Followed.Identity)
        Port.SetAdapterIdentity(*Followed.Identity);
}
