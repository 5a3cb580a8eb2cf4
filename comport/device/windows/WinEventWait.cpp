// Waiting for line events on the Windows serial device: one overlapped
// WaitCommEvent at a time. The event thread blocks on it together with its
// quit event (WaitEvents); a main loop that waits on the device itself
// watches its completion event and collects without blocking (CheckEvents).
#include "EventHandle.h"
#include "WinSerialDevice.h"

namespace device {

namespace {

constexpr uint32_t kModemEvents = kEvCts | kEvDsr | kEvRlsd | kEvRing;

} // namespace

// Starts the serial wait unless one is under way. A wait that completes at
// once is kept as completed, with its event set, for the next collection. A
// device that went away is not waited on again: its event stays clear once
// the hang-up has been collected, so neither a thread nor a loop spins.
int WinSerialDevice::ArmEventWait()
{
    std::lock_guard lock(FMaskMutex);
    if (FWaitState != WaitState::Idle || FHungUp)
        return 0;
    for (;;) {
        ResetEvent(FWaitEvent);
        FWaitMask = 0;
        if (WaitCommEvent(FHandle, &FWaitMask, &FWaitOverlapped)) {
            FWaitState = WaitState::Completed;
            SetEvent(FWaitEvent);
            return 0;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            FWaitState = WaitState::Pending;
            FMaskChangesAtArm = FMaskChanges;
            ReportBytesFromBeforeTheMaskLocked();
            return 0;
        }
        if (MeansDeviceGone(error)) {
            NoteHangUpLocked(); // collected as a wait that ended
            return 0;
        }
        // Watch the rest of the events on a line whose modem signals the
        // driver cannot report, as on Linux where such a line has none.
        if (error != ERROR_NOT_SUPPORTED || FModemEventsRefused || (FEventMask & kModemEvents) == 0)
            return static_cast<int>(error);
        FModemEventsRefused = true;
        FMaskChanged = true;
        if (!SetCommMask(FHandle, FEventMask & ~kModemEvents))
            return static_cast<int>(GetLastError());
    }
}

// Bytes that arrived before a new event mask took effect raise no event of
// it: the first wait under a new mask reports them as received at once.
// Reading the queue's count clears the line errors, which are kept for the
// next ClearError.
void WinSerialDevice::ReportBytesFromBeforeTheMaskLocked()
{
    if (!FMaskChanged)
        return;
    FMaskChanged = false;
    DWORD errors = 0;
    COMSTAT status{};
    if ((FEventMask & kEvRxChar) == 0 || !ClearCommError(FHandle, &errors, &status))
        return;
    FStashedErrors |= errors;
    if (status.cbInQue == 0)
        return;
    DWORD ignored = 0;
    CancelIoEx(FHandle, &FWaitOverlapped);
    GetOverlappedResult(FHandle, &FWaitOverlapped, &ignored, TRUE);
    FWaitMask = kEvRxChar;
    FWaitState = WaitState::Completed;
    SetEvent(FWaitEvent);
}

// Takes the outcome of a wait whose event is set; the next wait is armed
// by the next call that needs one.
WaitOutcome WinSerialDevice::CollectEventWait(uint32_t& Occurred, int& Error)
{
    std::lock_guard lock(FMaskMutex);
    const WaitState state = FWaitState;
    FWaitState = WaitState::Idle;
    DWORD error = 0;
    DWORD ignored = 0;
    if (state == WaitState::Pending && !GetOverlappedResult(FHandle, &FWaitOverlapped, &ignored, FALSE))
        error = GetLastError();
    // The event is set, so the wait has ended, yet its block may still read
    // as pending for good: Wine ends a serial wait on a thread of its own,
    // which can finish before WaitCommEvent has stored "pending" in the
    // block over the outcome. The mask the wait wrote before setting the
    // event holds what occurred (nothing if it was ended early). A wait that
    // was never armed (the device had gone) reports nothing of its own.
    if (error == 0 || error == ERROR_IO_INCOMPLETE)
        Occurred = state == WaitState::Idle ? 0 : FWaitMask;
    // A change of the event mask ends a pending wait: nothing occurred.
    else if (error == ERROR_OPERATION_ABORTED && FMaskChanges != FMaskChangesAtArm && !FHungUp)
        Occurred = 0;
    else if (IsGoneLocked(error, false))
        NoteHangUpLocked();
    // Wine ends a wait as aborted now and then on a line that is well: as
    // if it had ended with nothing.
    else if (error == ERROR_OPERATION_ABORTED)
        Occurred = 0;
    else {
        Error = static_cast<int>(error);
        return WaitOutcome::Failed;
    }
    // A wait that ended with nothing may have ended because the device went.
    if (Occurred == 0 && state != WaitState::Idle && !FHungUp && !DeviceAnswersLocked())
        NoteHangUpLocked();
    if (FHungUp)
        ResetEvent(FWaitEvent);
    Occurred |= TakeHangUpReportLocked();
    return WaitOutcome::Events;
}

// Ends a serial wait still pending, so that its block is free again.
void WinSerialDevice::EndEventWait()
{
    std::lock_guard lock(FMaskMutex);
    if (FWaitState == WaitState::Pending) {
        DWORD ignored = 0;
        CancelIoEx(FHandle, &FWaitOverlapped);
        GetOverlappedResult(FHandle, &FWaitOverlapped, &ignored, TRUE);
    }
    FWaitState = WaitState::Idle;
}

WaitOutcome WinSerialDevice::WaitEvents(const ManualResetEvent& Quit, uint32_t& Occurred, int& Error)
{
    Occurred = 0;
    Error = 0;
    if (const int error = ArmEventWait()) {
        Error = error;
        return WaitOutcome::Failed;
    }
    const HANDLE objects[2] = {platform::EventHandleOf(Quit.Handle()), FWaitEvent};
    const DWORD woken = WaitForMultipleObjects(2, objects, FALSE, INFINITE);
    // A quit request wins over events that completed at the same time.
    if (woken != WAIT_OBJECT_0 + 1 || Quit.IsSet()) {
        const DWORD error = woken == WAIT_FAILED ? GetLastError() : 0;
        EndEventWait();
        if (error == 0)
            return WaitOutcome::Quit;
        Error = static_cast<int>(error);
        return WaitOutcome::Failed;
    }
    return CollectEventWait(Occurred, Error);
}

bool WinSerialDevice::EventWaitable(WaitHandle& Handle)
{
    ArmEventWait(); // a failure shows in the next CheckEvents
    Handle = platform::WaitHandleOf(FWaitEvent);
    return true;
}

WaitOutcome WinSerialDevice::CheckEvents(uint32_t& Occurred, int& Error)
{
    Occurred = 0;
    Error = 0;
    if (const int error = ArmEventWait()) {
        Error = error;
        return WaitOutcome::Failed;
    }
    if (WaitForSingleObject(FWaitEvent, 0) != WAIT_OBJECT_0)
        return WaitOutcome::Events;
    const WaitOutcome outcome = CollectEventWait(Occurred, Error);
    if (outcome == WaitOutcome::Events)
        if (const int error = ArmEventWait()) {
            Error = error;
            return WaitOutcome::Failed;
        }
    return outcome;
}

} // namespace device
