#pragma once
// Where the device reads its modem input lines (CTS, DSR, RI, DCD), drives its
// output lines (DTR, RTS) and hears of input-line changes. The tty is the
// source in use; tests put a source of their own in its place, since a
// pseudo-terminal has no modem lines.
#include <cstdint>
#include <functional>

namespace device {

enum class OutputLine { Dtr, Rts };

class ModemLineSource {
public:
    // Reports input-line changes as EV_CTS, EV_DSR, EV_RLSD and EV_RING bits.
    using ChangeReport = std::function<void(uint32_t Events)>;

    virtual ~ModemLineSource() = default;
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
};

} // namespace device
