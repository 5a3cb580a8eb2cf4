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
    // The one serial wait; its block and mask belong to the system while
    // it is pending.
    WaitState FWaitState = WaitState::Idle;
    DWORD FWaitMask = 0;
    OVERLAPPED FWaitOverlapped{};
};

// The error a transfer ends with when it was aborted.
inline constexpr int kAbortedTransferError = ERROR_OPERATION_ABORTED;

} // namespace device
