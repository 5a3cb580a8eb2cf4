#pragma once
// The meter's adapter found again when the system gave it another name (it
// was pulled out and plugged in again, or the adapters came back in another
// order), never another device in its place, and remembered once the port
// is open.
#include <optional>
#include <string>

#include <velt/comport/PortDetails.h>

class TCustomComPort;

// What FollowStoredAdapter found, from one reading of the port list.
struct TFollowedPort : TResolvedPort {
    // The identity of the adapter the chosen name is (empty for a port that
    // is no listed USB adapter); nothing when the list could not be read.
    std::optional<std::string> Identity;
    std::string Wanted;   // prsMissing: the stored adapter (DescribeAdapterIdentity)
    std::string NowThere; // prsMissing: what the stored name leads to now (DescribePort); empty: nothing
};

// Before the port opens: which present port is the adapter Port last used.
// When it moved, Port is set to its new name with the identity. When it is
// missing or ambiguous, nothing may be opened: whatever holds the stored name
// now is another device. The list of ports that cannot be read changes
// nothing (the stored name is opened and any failure reported as usual).
TFollowedPort FollowStoredAdapter(TCustomComPort& Port);

// After the port opened: the identity of the adapter it is is stored with
// the settings. What could not be read must not erase the identity kept.
void RememberAdapter(TCustomComPort& Port, const TFollowedPort& Followed);

// After the operator chose the port in the setup dialog: the adapter it is
// becomes the meter's (empty for a port that is no USB adapter).
void RememberChosenAdapter(TCustomComPort& Port);
