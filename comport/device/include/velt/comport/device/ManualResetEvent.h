#pragma once
/// @file
/// A manual-reset event: set stays set until reset. Set and Reset are not
/// called at the same time from two threads; IsSet may be asked from anywhere
/// and never blocks (on POSIX systems it reads a flag, on Windows it asks the
/// event, a system call). A thread can wait on it alone, on several at once,
/// or (in the platform's device code) together with the device itself.
#include <velt/comport/Export.h>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include <velt/comport/platform/WaitHandle.h>

namespace device {

/// The platform's waitable object (platform::WaitHandle), by the name the
/// device interface has always given it.
using WaitHandle = platform::WaitHandle;

/// An event that stays set until reset, which threads and main loops wait on.
class VELT_COMPORT_EXPORT ManualResetEvent {
public:
    explicit ManualResetEvent(bool InitiallySet = false); ///< A clear (or set) event; throws std::runtime_error when
                                                          ///< the platform has none to give.
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();         ///< Sets the event, waking every waiter.
    void Reset();       ///< Clears the event.
    bool IsSet() const; ///< Whether the event is set.
    /// Blocks until the event is set.
    void Wait() const;
    /// The waitable object that is signalled while the event is set.
    WaitHandle Handle() const { return FHandle; }

    /// Blocks until one of Events is set; returns the position of the first
    /// one (in the order given) that is set.
    static size_t WaitAny(std::initializer_list<const ManualResetEvent*> Events);

private:
    WaitHandle FHandle;
    std::atomic<bool> FSet; ///< mirrors the waitable object's state
};

} // namespace device
