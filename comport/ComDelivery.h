#pragma once
// Delivering the events of one wait, in the fixed order, whoever waited for
// them (the event thread or the main loop).
#include <cstdint>
#include <functional>

#include <velt/comport/ComTypes.h>

class TCustomComPort;

// Calls the port's processing operation for each event, in the delivery
// order; an exception ends the delivery (the later events are not processed).
void DeliverInOrder(TCustomComPort& Port, TComEvents Events);
// Calls Send with the event code of each event, in the delivery order.
void SendCodesInOrder(TComEvents Events, const std::function<void(uint32_t Code)>& Send);
