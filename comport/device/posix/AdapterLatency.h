#pragma once
// The driver's low-latency mode of a serial line: an adapter that holds
// received bytes back for a while (an FTDI adapter's latency timer, 16 ms by
// default) passes them on at once while it is asked for. The request and its
// undoing are the system's (body in linux/AdapterLatency.cpp).
#include <optional>

namespace device {

class AdapterLatency {
public:
    explicit AdapterLatency(int Fd) : FFd(Fd) {}

    // Wanted: asks the driver for low latency, and reads it back: a driver
    // that did not take it is refused with EINVAL, one without the request at
    // all with its own error. A line that holds nothing back (a
    // pseudo-terminal) has nothing to do. Not wanted: puts back the state
    // the line had before the first request. 0 or errno.
    [[nodiscard]] int Request(bool Wanted);
    // Puts back the state the line had before the first request, if a request
    // changed it; before the line is closed.
    void Restore();

private:
    const int FFd;
    std::optional<bool> FBefore; // the driver's own state, before our first request
};

} // namespace device
