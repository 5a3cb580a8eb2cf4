#pragma once
// The system's notices about the device behind an open handle: a request to
// remove it ("safely remove") and its removal. Where the system has them
// (Windows 8 and later; not Wine), each is reported to the device as a
// hang-up; a removal request waits, a few seconds at most, until the program
// has closed the handle, as Windows can remove a device only when no handle
// to it is open.
#include <windows.h>

#include <functional>

namespace device {

class WinRemovalNotice {
public:
    // OnGone runs on a thread of the system's, at most once per notice.
    WinRemovalNotice(HANDLE Device, std::function<void()> OnGone);
    // Unregisters; a notice in progress ends first.
    ~WinRemovalNotice();
    WinRemovalNotice(const WinRemovalNotice&) = delete;
    WinRemovalNotice& operator=(const WinRemovalNotice&) = delete;

    // The device's handle is closed: a removal request waiting for it goes on.
    void HandleClosed();

    struct Registration;

private:
    Registration* FRegistration = nullptr;
};

} // namespace device
