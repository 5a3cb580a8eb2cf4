#pragma once
// The modem control lines: reading CTS/DSR/RI/DCD, driving DTR and RTS, and
// RTS toggling around transmission (RS-485 mode). A pseudo-terminal answers
// these requests with ENOTTY (EINVAL on some kernels): it has no modem lines,
// which is not a failure; its lines read as all off.
#include <cstdint>

#include <velt/comport/device/SerialDevice.h>

namespace device {

bool IsNoModemLinesError(int Error);

// MS_* bits; 0 or errno.
int ReadModemStatus(int Fd, uint32_t& Status);

// Whether the line has modem signals at all.
bool HasModemLines(int Fd);

// Sets DTR and RTS as Dcb asks; switches RS-485 RTS toggling on for
// kDcbRtsControlToggle and off again when WasToggling. 0 or errno.
int DriveModemLines(int Fd, const DeviceControlBlock& Dcb, bool WasToggling);

} // namespace device
