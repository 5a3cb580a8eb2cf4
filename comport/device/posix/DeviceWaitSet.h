#pragma once
// The device's waitable object: one descriptor that polls readable when the
// wake-up descriptor is signalled, or when the line has input (while it is
// watched for input) or hangs up. Poll() alone cannot be that object, as the
// main loop waits on one handle per port; the system's readiness set can.
// The bodies are the system's: linux/EpollWaitSet.cpp (epoll); a BSD or
// macOS would give them with kqueue in a folder of its own.
#include "UniqueFd.h"

namespace device {

// How the line takes part: for input and a hang-up, for a hang-up only (a
// full receive queue leaves the bytes in the kernel), or not at all (a line
// that hung up reports so at once and for ever).
enum class LineWatch { Input, HangUpOnly, None };

// What one look at the set found.
struct WaitSetReadiness {
    bool Woken = false;     // the wake-up descriptor was signalled
    bool LineReady = false; // the line has input or hung up
    bool HungUp = false;
};

class DeviceWaitSet {
public:
    // A set over WakeFd, which stays the caller's; the line joins with
    // Watch. Invalid, with Error (errno), when none can be made.
    DeviceWaitSet(int WakeFd, int LineFd, int& Error);

    bool Valid() const { return FSet.Valid(); }
    // The descriptor to poll or hand to the main loop.
    int Descriptor() const { return FSet.Get(); }
    void Watch(LineWatch How);
    // Looks without blocking; 0 or errno.
    int TakeReady(WaitSetReadiness& Ready);

private:
    platform::UniqueFd FSet;
    int FWakeFd;
    int FLineFd;
};

} // namespace device
