#pragma once
// Turns a device control record into terminal settings, and checks what the
// device actually took.
#include <velt/comport/device/SerialDevice.h>
#include "Termios2.h"

namespace device {

// Raw mode for a serial line: no echo, no line editing, no output processing,
// no signals, reads that never block inside the kernel (VMIN = VTIME = 0),
// modem control lines ignored for opening (CLOCAL), a break no signal (BRKINT).
void MakeRawLine(Termios2& Settings);

// 0, or EINVAL for a record the line cannot carry: a rate of 0 (it would hang
// the line up), data bits outside 5..8, an unknown parity or stop-bit value,
// 1.5 stop bits with other than 5 data bits and 2 with 5 (a UART sends 1.5
// stop bits for that: the first platform refuses both).
int CheckControlBlock(const DeviceControlBlock& Dcb);

// Whether the kernel's one RTS/CTS switch (CRTSCTS) does exactly what Dcb
// asks: output flow on CTS together with the RTS handshake.
bool UsesKernelRtsCts(const DeviceControlBlock& Dcb);

// Applies rate, format, the kernel's part of flow control and the XON/XOFF
// characters of Dcb to Settings (already raw). With MarkBreaks, breaks are
// marked in the input (PARMRK) even without the parity check; bad bytes are
// marked when parity is checked (INPCK); so the receive queue can see them.
void ApplyControlBlock(const DeviceControlBlock& Dcb, bool MarkBreaks, Termios2& Settings);

// Whether Taken (read back from the device) carries every setting of Wanted
// that matters to the line.
bool DeviceTookSettings(const Termios2& Wanted, const Termios2& Taken);

} // namespace device
