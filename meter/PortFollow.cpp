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

// The identity of the listed port Name opens; empty for a path the system
// does not list.
std::string ListedIdentity(const std::string& Name, const std::vector<TPortDetails>& Ports)
{
    const TPortDetails* listed = FindListedPort(Name, Ports);
    return listed != nullptr ? PortIdentity(*listed) : std::string();
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
    if (followed.Result == prsMissing) {
        followed.Wanted = DescribeAdapterIdentity(identity);
        if (const TPortDetails* there = FindListedPort(Port.Port(), *ports))
            followed.NowThere = DescribePort(*there);
        return followed; // nothing to remember: the stored adapter stays the meter's
    }
    followed.Identity = ListedIdentity(followed.Name, *ports);
    return followed;
}

void RememberAdapter(TCustomComPort& Port, const TFollowedPort& Followed)
{
    if (Followed.Identity)
        Port.SetAdapterIdentity(*Followed.Identity);
}

void RememberChosenAdapter(TCustomComPort& Port)
{
    if (const auto ports = PresentPorts())
        Port.SetAdapterIdentity(ListedIdentity(Port.Port(), *ports));
}
