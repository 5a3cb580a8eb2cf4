#pragma once
/// @file
/// A main loop that the component knows: it waits on waitable objects for the
/// component and calls back on the main thread, inside the loop, while one is
/// signalled. With one installed, a port whose events are handed to the main
/// thread needs no event thread: the loop waits on the device itself.
#include <velt/comport/Export.h>
#include <functional>

#include <velt/comport/platform/WaitHandle.h>

/// A main loop the component knows (Qt's, through InstallQtHandOver(), or
/// one of a program's own), which waits on waitable objects for it.
class VELT_COMPORT_EXPORT MainLoopWatcher {
public:
    virtual ~MainLoopWatcher() = default;

    /// Starts watching Handle (a descriptor on POSIX systems, an event handle
    /// on Windows); Ready runs on the main thread whenever the loop
    /// finds it signalled, until Unwatch. Returns an id for Unwatch. Called on
    /// the main thread only.
    virtual int Watch(platform::WaitHandle Handle, std::function<void()> Ready) = 0;
    /// Stops watching; Ready is not called again, even from inside a Ready of
    /// the same turn of the loop. Unknown ids are ignored.
    virtual void Unwatch(int Id) = 0;
};
