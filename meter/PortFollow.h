#pragma once
// The meter's adapter found again when the system gave it another name (it
// was pulled out and plugged in again, or the adapters came back in another
// order), never another device in its place, and remembered once the port
// is open.
#include <string>

#include <velt/comport/PortDetails.h>

class TCustomComPort;

// What FollowStoredAdapter decided, and for a missing adapter what to tell
// the operator.
struct FollowedPort {
    TPortResolution Result = prsUnchanged;
    std::string Name;     // the port to open (the stored name unless moved)
    std::string Wanted;   // prsMissing: the stored adapter (DescribeAdapterIdentity)
    std::string NowThere; // prsMissing: what the stored name leads to now (DescribePort); empty: nothing
};

// Before the port opens: which present port is the adapter Port last used.
// When it moved, Port is set to its new name, keeping the identity. When it
// is missing or ambiguous, nothing may be opened: whatever holds the stored
// name now is another device. The list of ports that cannot be read changes
// nothing (the stored name is opened and any failure reported as usual).
FollowedPort FollowStoredAdapter(TCustomComPort& Port);

// After the port opened, or the operator chose it: the identity of the
// adapter it is (empty for a port that is no USB adapter), to be stored
// with the settings.
void RememberAdapter(TCustomComPort& Port);
