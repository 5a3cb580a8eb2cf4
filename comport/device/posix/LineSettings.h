#pragma once
// The line settings of a device control record: the checks every system
// shares (bodies in posix/LineSettings.cpp), and putting the record on the
// line, which is the system's (bodies in linux/Termios2Settings.cpp, through
// termios2; another system gives its own in its folder).
#include <velt/comport/device/SerialDevice.h>

namespace device {

// 0, or EINVAL for a record the line cannot carry: a rate of 0 (it would hang
// the line up), data bits outside 5..8, an unknown parity or stop-bit value,
// 1.5 stop bits with other than 5 data bits and 2 with 5 (a UART sends 1.5
// stop bits for that: the first platform refuses both).
int CheckControlBlock(const DeviceControlBlock& Dcb);

// Whether the kernel's one RTS/CTS switch (CRTSCTS) does exactly what Dcb
// asks: output flow on CTS together with the RTS handshake.
bool UsesKernelRtsCts(const DeviceControlBlock& Dcb);

// Raw mode for a serial line: no echo, no line editing, no output processing,
// no signals, reads that never block inside the kernel (VMIN = VTIME = 0),
// modem control lines ignored for opening (CLOCAL), a break no signal
// (BRKINT). 0 or errno.
[[nodiscard]] int MakeLineRaw(int Fd);

// Puts rate, format, the kernel's part of flow control and the XON/XOFF
// characters of Dcb (checked) on the raw line Fd. With MarkBreaks, breaks are
// marked in the input (PARMRK) even without the parity check; bad bytes are
// marked when parity is checked (INPCK); so the receive queue can see them.
// The settings are read back, as success of the call proves nothing: what the
// device did not take is refused with EINVAL and the line goes back to what
// it had. 0 or errno.
[[nodiscard]] int ApplyLineSettings(int Fd, const DeviceControlBlock& Dcb, bool MarkBreaks);

} // namespace device
