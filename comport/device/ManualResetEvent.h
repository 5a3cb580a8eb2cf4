#pragma once
// A manual-reset event that a thread can wait on together with other
// descriptors: set stays set until reset. Set and Reset are not called at the
// same time from two threads; IsSet may be asked from anywhere. Backed by an eventfd on Linux.
#include <atomic>

namespace device {

class ManualResetEvent {
public:
    explicit ManualResetEvent(bool InitiallySet = false);
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    // Blocks until the event is set.
    void Wait() const;
    // The descriptor that polls readable while the event is set.
    int Descriptor() const { return FFd; }

private:
    int FFd;
    // Mirrors the descriptor's state, so that asking costs no system call.
    std::atomic<bool> FSet;
};

} // namespace device
