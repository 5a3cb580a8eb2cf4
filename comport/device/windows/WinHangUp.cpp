// A Windows serial device that went away. No driver says "hung up" in one
// way: a pulled USB adapter fails the pending wait, reads and writes with one
// of several errors depending on its driver, and Wine fails them with
// ERROR_NOT_READY once the pseudo-terminal behind a COM port has lost its far
// end. Whichever call sees it first notes it, and the port hears of it once,
// as the line error CE_IOE with one EV_ERR, as on Linux. A driver may also
// end its pending calls as aborted when its device goes, but Wine ends a
// serial wait so now and then on a line that is well, and may end it with
// nothing at a hang-up: an abort that nothing of ours caused, or a wait
// that ends with nothing, counts only when the device no longer answers.
#include "WinSerialDevice.h"

namespace device {

bool MeansDeviceGone(DWORD Error)
{
    switch (Error) {
    case ERROR_ACCESS_DENIED:        // usbser.sys and others after a surprise removal
    case ERROR_BAD_COMMAND:          // FTDI's driver once its device has gone
    case ERROR_GEN_FAILURE:          // a device that stopped answering its driver
    case ERROR_DEVICE_NOT_CONNECTED: // the handle's device is no longer there
    case ERROR_DEVICE_REMOVED:       // removed while the handle was open
    case ERROR_NOT_READY:            // Wine: the line behind the port hung up
        return true;
    default:
        return false;
    }
}

// The event wait's thread or loop hears of it at once: a pending wait is
// ended, and otherwise the wait's event is set for the next collection.
void WinSerialDevice::NoteHangUpLocked()
{
    if (FHungUp)
        return;
    FHungUp = true;
    FHangUpUnreported = true;
    FStashedErrors |= kCeIoe;
    if (FWaitState == WaitState::Pending)
        CancelIoEx(FHandle, &FWaitOverlapped);
    else
        SetEvent(FWaitEvent);
}

// EV_ERR once, when the mask asks for it; the error itself stays for
// ClearError either way.
uint32_t WinSerialDevice::TakeHangUpReportLocked()
{
    if (!FHangUpUnreported)
        return 0;
    FHangUpUnreported = false;
    return FEventMask & kEvErr;
}

bool WinSerialDevice::IsGoneLocked(DWORD Error, bool CancelledByUs)
{
    if (FHungUp || MeansDeviceGone(Error))
        return true;
    return Error == ERROR_OPERATION_ABORTED && !CancelledByUs && !DeviceAnswersLocked();
}

// Whether the device still tells its state. Asking for the queue's count
// clears the line errors: they are kept for the next ClearError.
bool WinSerialDevice::DeviceAnswersLocked()
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(FHandle, &errors, &status))
        return false;
    FStashedErrors |= errors;
    return true;
}

bool WinSerialDevice::NoteIfGone(DWORD Error, bool CancelledByUs)
{
    std::lock_guard lock(FMaskMutex);
    if (!IsGoneLocked(Error, CancelledByUs))
        return false;
    NoteHangUpLocked();
    return true;
}

} // namespace device
