// Waiting for line events on the Windows serial device: one overlapped
// WaitCommEvent, waited for together with the quit event.
#include "WaitHandleWin.h"
#include "WinSerialDevice.h"

namespace device {

namespace {

constexpr uint32_t kModemEvents = kEvCts | kEvDsr | kEvRlsd | kEvRing;

} // namespace

// Starts the serial wait; 0 when it completed at once (Occurred set),
// kIoPending, or the error.
int WinSerialDevice::StartEventWait(DWORD& Occurred)
{
    std::lock_guard lock(FMaskMutex);
    for (;;) {
        ResetEvent(FWaitEvent);
        if (WaitCommEvent(FHandle, &Occurred, &FWaitOverlapped))
            return 0;
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING)
            return kIoPending;
        // Watch the rest of the events on a line whose modem signals the
        // driver cannot report, as on Linux where such a line has none.
        if (error != ERROR_NOT_SUPPORTED || FModemEventsRefused || (FEventMask & kModemEvents) == 0)
            return static_cast<int>(error);
        FModemEventsRefused = true;
        if (!SetCommMask(FHandle, FEventMask & ~kModemEvents))
            return static_cast<int>(GetLastError());
    }
}

// Ends a serial wait still pending, so its OVERLAPPED block is free again.
void WinSerialDevice::EndEventWait()
{
    DWORD ignored = 0;
    CancelIoEx(FHandle, &FWaitOverlapped);
    GetOverlappedResult(FHandle, &FWaitOverlapped, &ignored, TRUE);
}

WaitOutcome WinSerialDevice::WaitEvents(const ManualResetEvent& Quit, uint32_t& Occurred, int& Error)
{
    Occurred = 0;
    Error = 0;
    DWORD events = 0;
    const int started = StartEventWait(events);
    if (started != 0 && started != kIoPending) {
        Error = started;
        return WaitOutcome::Failed;
    }
    if (started == kIoPending) {
        const HANDLE objects[2] = {EventHandleOf(Quit.Handle()), FWaitEvent};
        const DWORD woken = WaitForMultipleObjects(2, objects, FALSE, INFINITE);
        if (woken != WAIT_OBJECT_0 + 1) {
            const DWORD error = woken == WAIT_OBJECT_0 ? 0 : GetLastError();
            EndEventWait();
            if (error == 0)
                return WaitOutcome::Quit;
            Error = static_cast<int>(error);
            return WaitOutcome::Failed;
        }
        DWORD ignored = 0;
        if (!GetOverlappedResult(FHandle, &FWaitOverlapped, &ignored, FALSE)) {
            const DWORD error = GetLastError();
            // A change of the event mask ends a pending wait: wait again.
            if (error != ERROR_OPERATION_ABORTED) {
                Error = static_cast<int>(error);
                return WaitOutcome::Failed;
            }
            events = 0;
        }
    }
    // A quit request wins over events that completed at the same time.
    if (Quit.IsSet())
        return WaitOutcome::Quit;
    Occurred = events;
    return WaitOutcome::Events;
}

} // namespace device
