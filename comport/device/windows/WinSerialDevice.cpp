// Lifetime, settings and status queries of the Windows serial device.
#include "WinSerialDevice.h"

#include "WinLineSettings.h"

namespace device {

namespace {

int LastError() { return static_cast<int>(GetLastError()); }

} // namespace

WinSerialDevice::WinSerialDevice(HANDLE Device, HANDLE WaitEvent)
    : FHandle(Device), FWaitEvent(WaitEvent), FTransfers(std::make_shared<WinTransferRegistry>(Device))
{
    FWaitOverlapped.hEvent = FWaitEvent;
    // A removal request or a removal is a hang-up like a failed call.
    FRemovalNotice = std::make_unique<WinRemovalNotice>(FHandle, [this] {
        std::lock_guard lock(FMaskMutex);
        NoteHangUpLocked();
    });
}

WinSerialDevice::~WinSerialDevice()
{
    EndEventWait();
    // States that outlive the device end as aborted and no longer reach it.
    FTransfers->Detach();
    CloseHandle(FHandle);
    FRemovalNotice.reset(); // after the close, which a removal request waits for
    CloseHandle(FWaitEvent);
}

int WinSerialDevice::SetupQueues(uint32_t InputSize, uint32_t OutputSize)
{
    return SetupComm(FHandle, InputSize, OutputSize) ? 0 : LastError();
}

int WinSerialDevice::SetState(const DeviceControlBlock& Dcb)
{
    DCB previous{};
    previous.DCBlength = sizeof previous;
    if (!GetCommState(FHandle, &previous))
        return LastError();
    DCB wanted = ToSystemDcb(Dcb);
    if (!SetCommState(FHandle, &wanted))
        return LastError();
    // Success of the call proves nothing: read the record back.
    DCB taken{};
    taken.DCBlength = sizeof taken;
    if (!GetCommState(FHandle, &taken))
        return LastError();
    if (!DriverTookSettings(wanted, taken)) {
        SetCommState(FHandle, &previous);
        return ERROR_INVALID_PARAMETER;
    }
    return 0;
}

int WinSerialDevice::SetTimeouts(const CommTimeouts& Timeouts)
{
    COMMTIMEOUTS timeouts{Timeouts.ReadIntervalTimeout, Timeouts.ReadTotalTimeoutMultiplier,
                          Timeouts.ReadTotalTimeoutConstant, Timeouts.WriteTotalTimeoutMultiplier,
                          Timeouts.WriteTotalTimeoutConstant};
    return SetCommTimeouts(FHandle, &timeouts) ? 0 : LastError();
}

int WinSerialDevice::SetEventMask(uint32_t Mask)
{
    std::lock_guard lock(FMaskMutex);
    FEventMask = Mask;
    FModemEventsRefused = false;
    FMaskChanged = true;
    ++FMaskChanges;
    return SetCommMask(FHandle, Mask) ? 0 : LastError();
}

int WinSerialDevice::Purge(uint32_t Flags)
{
    // The driver's own abort is not enough everywhere (Wine ignores it for a
    // pending read): the pending transfers are cancelled one by one.
    if (Flags & (kPurgeRxAbort | kPurgeTxAbort))
        FTransfers->Abort((Flags & kPurgeRxAbort) != 0, (Flags & kPurgeTxAbort) != 0);
    if (PurgeComm(FHandle, Flags))
        return 0;
    // A device that went away has nothing left to abort or discard.
    const DWORD error = GetLastError();
    return NoteIfGone(error, false) ? 0 : static_cast<int>(error);
}

int WinSerialDevice::ClearError(uint32_t& Errors, uint32_t& InQueue)
{
    DWORD errors = 0;
    COMSTAT status{};
    // A device that went away reports what was noted of it (CE_IOE once)
    // and an empty queue, as on Linux.
    if (!ClearCommError(FHandle, &errors, &status)) {
        const DWORD error = GetLastError();
        if (!NoteIfGone(error, false))
            return static_cast<int>(error);
        status.cbInQue = 0;
    }
    std::lock_guard lock(FMaskMutex);
    Errors = errors | FStashedErrors;
    FStashedErrors = 0;
    InQueue = status.cbInQue;
    return 0;
}

int WinSerialDevice::ModemStatus(uint32_t& Status)
{
    DWORD status = 0;
    if (GetCommModemStatus(FHandle, &status)) {
        Status = status;
        return 0;
    }
    const DWORD error = GetLastError();
    // A line without modem signals (a virtual port): all lines off, as on
    // Linux, or no such port could ever be opened. A device that went away
    // has none either.
    if (error == ERROR_NOT_SUPPORTED || NoteIfGone(error, false)) {
        Status = 0;
        return 0;
    }
    return static_cast<int>(error);
}

} // namespace device
