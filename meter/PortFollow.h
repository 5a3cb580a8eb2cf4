#pragma once
// The meter's adapter found again when the system gave it another name (it
// was pulled out and plugged in again, or the adapters came back in another
// order), and remembered once the port is open.
#include <velt/comport/PortDetails.h>

class TCustomComPort;

// Before the port opens: which present port is the adapter Port last used.
// When it moved, Port is set to its new name, keeping the identity. The
// list of ports that cannot be read changes nothing (the stored name is
// opened and any failure reported as usual).
TResolvedPort FollowStoredAdapter(TCustomComPort& Port);

// After the port opened: the identity of the adapter it is (empty for a
// port that is no USB adapter), to be stored with the settings.
void RememberAdapter(TCustomComPort& Port);
