#pragma once
// A wake-up that any thread signals and one waiter takes: its waitable
// object is signalled from Signal() until Consume(). Signals that come
// before a Consume() merge into one, and none is lost: a Signal() after the
// waiter's Consume() leaves the object signalled again.
#include <velt/comport/platform/WaitHandle.h>

namespace platform {

class WakeEvent {
public:
    // Throws std::system_error when the platform has no object to give.
    explicit WakeEvent(bool Signalled = false);
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    void Signal();  // from any thread
    void Consume(); // by the waiter
    WaitHandle Handle() const { return FHandle; }

private:
    WaitHandle FHandle;
};

} // namespace platform
