#pragma once
// What the device reads from and drives on its line besides the data: the
// modem input lines (CTS, DSR, RI, DCD) and their changes, the output lines
// (DTR, RTS), and how much output still waits in the driver. The tty is the
// source in use; tests put a source of their own in its place, since a
// pseudo-terminal has no modem lines and never shows output waiting.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace device {

enum class OutputLine { Dtr, Rts };

class LineSource {
public:
    // Reports input-line changes as kEvCts, kEvDsr, kEvRlsd and kEvRing bits.
    using ChangeReport = std::function<void(uint32_t Events)>;

    virtual ~LineSource() = default;
    // Whether the line has modem signals at all.
    virtual bool Present() = 0;
    // The input lines as MS_* bits, all off where the line has none; 0 or errno.
    virtual int Read(uint32_t& Status) = 0;
    // Raises or drops an output line; 0 (also where the line has none) or errno.
    virtual int Drive(OutputLine Line, bool On) = 0;
    // Starts reporting changes, from another thread, until StopWatching or
    // destruction. A second call while watching changes nothing.
    virtual void Watch(ChangeReport OnChange) = 0;
    // Stops reporting and waits until no report is running.
    virtual void StopWatching() = 0;

    // Whether the driver keeps output waiting to be sent (a pseudo-terminal
    // hands it on at once).
    virtual bool HasOutputQueue() = 0;
    // The bytes waiting in the driver's output queue (0 when it cannot tell).
    virtual size_t OutputQueued() = 0;
    // Whether the last byte has left the transmitter: nothing queued, and the
    // UART's shift register empty where the driver tells.
    virtual bool TransmitterEmpty() = 0;
};

} // namespace device
