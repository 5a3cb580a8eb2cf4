#pragma once
// Delivering line events to the port's processing operations, whoever waited
// for them (the event thread or the main loop) and whichever hand-over
// brought them: one map from event to operation, in the fixed order.
#include <velt/comport/ComTypes.h>

namespace device {
class SerialDevice;
}
class TCustomComPort;

// Calls the port's processing operation for each event, in the delivery
// order; an exception ends the delivery (the later events are not processed).
void DeliverInOrder(TCustomComPort& Port, TComEvents Events);
// The window hand-over's delivery: in the same order, each event on its own
// (a failure is reported and the next event still processed), none once the
// port has been closed, by an earlier handler or before the events came.
void DeliverEachOnItsOwn(TCustomComPort& Port, TComEvents Events);
// The device stops reporting events and forgets what it had queued; the
// results are not examined, as there is nobody left to tell.
void CleanUpDeviceEvents(device::SerialDevice& Device);
