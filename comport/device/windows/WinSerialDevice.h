#pragma once
// The serial device on Windows: a COM port opened for overlapped I/O. The
// driver keeps the queues, the line settings and the timeouts; this class
// maps the device interface onto the serial API and its error numbers
// (GetLastError). The event thread (WaitEvents) and the main thread
// (transfers, queries, settings) use it at the same time.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include <velt/comport/device/SerialDevice.h>
#include "WinRemovalNotice.h"
#include "WinTransfer.h"

namespace device {

class WinSerialDevice final : public SerialDevice {
public:
    // Opens "\\.\" followed by Port; null with Error (GetLastError) on failure.
    static std::unique_ptr<WinSerialDevice> Open(const std::string& Port, int& Error);

    // Takes ownership of an open device handle and of the event on which
    // WaitEvents waits for the serial wait to complete.
    WinSerialDevice(HANDLE Device, HANDLE WaitEvent);
    ~WinSerialDevice() override;
    WinSerialDevice(const WinSerialDevice&) = delete;
    WinSerialDevice& operator=(const WinSerialDevice&) = delete;

    int SetupQueues(uint32_t InputSize, uint32_t OutputSize) override;
    int SetState(const DeviceControlBlock& Dcb) override;
    int SetTimeouts(const CommTimeouts& Timeouts) override;
    int SetEventMask(uint32_t Mask) override;
    WaitOutcome WaitEvents(const ManualResetEvent& Quit, uint32_t& Occurred, int& Error) override;
    int StartRead(IoBlock& Block, char* Buffer, uint32_t Count, uint32_t& Done) override;
    int StartWrite(IoBlock& Block, const char* Buffer, uint32_t Count, uint32_t& Done) override;
    int AwaitTransfer(IoBlock& Block, uint32_t& Done) override;
    int Purge(uint32_t Flags) override;
    int ClearError(uint32_t& Errors, uint32_t& InQueue) override;
    int ModemStatus(uint32_t& Status) override;

    // For a main loop that waits on the device instead of an event thread
    // calling WaitEvents: the completion event of the serial wait, set while
    // a wait has completed, and the collection of its outcome, which never
    // blocks (Events with Occurred 0 when nothing occurred yet) and starts
    // the next wait.
    bool EventWaitable(WaitHandle& Handle) override;
    WaitOutcome CheckEvents(uint32_t& Occurred, int& Error) override;

private:
    enum class WaitState { Idle, Pending, Completed };

    int StartTransfer(IoBlock& Block, WinTransfer::Kind Direction, const std::function<BOOL(OVERLAPPED&)>& Start,
                      uint32_t& Done);
    int CompleteTransfer(WinTransfer& Transfer, bool Wait);
    int ArmEventWait();
    void ReportBytesFromBeforeTheMaskLocked();
    WaitOutcome CollectEventWait(uint32_t& Occurred, int& Error);
    void EndEventWait();
    // A device that went away (an adapter pulled, a line hung up) is noted
    // once: the line error CE_IOE is kept for the next ClearError and the
    // event wait reports EV_ERR once, then never waits on the device again.
    // NoteIfGone notes it when a call's Error says so (or it was noted
    // before) and tells whether it did; CancelledByUs tells whether an abort
    // was ours.
    void NoteHangUpLocked();
    uint32_t TakeHangUpReportLocked();
    bool IsGoneLocked(DWORD Error, bool CancelledByUs);
    bool DeviceAnswersLocked();
    bool NoteIfGone(DWORD Error, bool CancelledByUs);

    const HANDLE FHandle;
    const HANDLE FWaitEvent;
    const std::shared_ptr<WinTransferRegistry> FTransfers;

    std::mutex FMaskMutex;
    uint32_t FEventMask = 0;
    // A driver that cannot watch the modem lines (it answers a wait that
    // includes them with ERROR_NOT_SUPPORTED) is asked for the other events.
    bool FModemEventsRefused = false;
    bool FMaskChanged = false;
    uint32_t FStashedErrors = 0; // line errors read along with the queue's count
    bool FHungUp = false;
    bool FHangUpUnreported = false;
    // Mask changes end a pending wait as aborted; one since the wait was
    // armed tells that abort from the device going away.
    uint64_t FMaskChanges = 0;
    uint64_t FMaskChangesAtArm = 0;
    std::unique_ptr<WinRemovalNotice> FRemovalNotice; // made last: it calls back into the device
    // The one serial wait; its block and mask belong to the system while
    // it is pending. Its state changes under FMaskMutex.
    WaitState FWaitState = WaitState::Idle;
    DWORD FWaitMask = 0;
    OVERLAPPED FWaitOverlapped{};
};

// The error a transfer ends with when it was aborted.
inline constexpr int kAbortedTransferError = ERROR_OPERATION_ABORTED;

// Whether a failed serial call's error means that the device went away:
// what drivers answer once their adapter is pulled out (and what Wine
// answers for a line that hung up).
bool MeansDeviceGone(DWORD Error);

} // namespace device
