#pragma once
// The latency timer an FTDI adapter's driver keeps for a port: the value
// "LatencyTimer" (milliseconds, 16 by default) among the device's parameters,
// where the driver's advanced port settings write it.
#include <windows.h>

#include <setupapi.h>

#include <cstdint>

namespace device {

// The timer of Device in Set, or 0 where its driver keeps none (any driver
// but FTDI's).
uint32_t AdapterLatencyTimer(HDEVINFO Set, SP_DEVINFO_DATA& Device);

} // namespace device
