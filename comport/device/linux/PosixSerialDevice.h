#pragma once
// The serial device on Linux: a tty opened non-blocking, with the receive
// queue, the timeouts and the event wait kept in user space. The event thread
// (WaitEvents) and the main thread (transfers, queries, settings) use it at the
// same time; one mutex guards the shared state, and no thread blocks while
// holding it.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "FlowControl.h"
#include "LineCounters.h"
#include "LineSource.h"
#include "PosixTransfer.h"
#include "ReceiveQueue.h"
#include <velt/comport/device/SerialDevice.h>
#include "TxEmptyWatcher.h"

namespace device {

// The queue never holds less than this, whatever input size is asked for: a
// small queue would make throughput hang on how often the queue is emptied.
inline constexpr size_t kReceiveQueueFloor = 64 * 1024;
inline constexpr size_t kReceiveQueueCeiling = 16 * 1024 * 1024;

class PosixSerialDevice final : public SerialDevice {
public:
    // Opens and prepares Path; null with Error (errno) on failure.
    static std::unique_ptr<PosixSerialDevice> Open(const std::string& Path, int& Error);

    // Takes ownership of an open, prepared device descriptor and of an
    // eventfd through which other threads wake WaitEvents.
    PosixSerialDevice(int Fd, int WakeFd);
    ~PosixSerialDevice() override;
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

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

    // Puts Lines in the place of the tty's own modem lines and output count;
    // for tests, before the settings are applied.
    void UseLineSource(std::unique_ptr<LineSource> Lines);

private:
    // What one look at a transfer decided: ended, or wait until Deadline
    // (none = no limit) for the device to become ready.
    struct StepOutcome {
        bool Ended = false;
        bool WatchDevice = false;
        std::optional<SteadyClock::time_point> Deadline;
        static StepOutcome Finished() { return {true, false, std::nullopt}; }
    };

    // Input (PosixSerialInput.cpp); the Locked ones need FMutex held.
    void PullInputLocked();
    void NoteCountersLocked(ReceiveNews& News);
    void RecordEventsLocked(uint32_t Events);
    void NoteHangupLocked();
    bool WatchingDeviceLocked() const;
    void WakeWaiter();
    void ConsumeWaiterWake();
    void OnHelperEvents(uint32_t Events);
    void StartModemWatcherLocked();
    void RequestTxEmptyLocked();
    void QueueLevelChangedLocked();
    int SetRtsTogglingLocked(const DeviceControlBlock& Dcb);

    // Transfers (PosixSerialTransfers.cpp).
    std::unique_ptr<PosixTransfer> NewTransferState(PosixTransfer::Kind Direction, int& Error);
    int Begin(IoBlock& Block, std::unique_ptr<PosixTransfer> Transfer, uint32_t& Done);
    StepOutcome StepRead(PosixTransfer& Transfer);
    StepOutcome StepWrite(PosixTransfer& Transfer);
    StepOutcome Step(PosixTransfer& Transfer);
    void WaitForProgress(PosixTransfer& Transfer, const StepOutcome& Outcome);
    // Writes the transfer's bytes up to Until, as far as the kernel takes
    // them; true when it took them all.
    bool TransmitStep(PosixTransfer& Transfer, uint32_t Until, bool Tracked);
    void EndWrite(PosixTransfer& Transfer, int Result);
    void EndWriteLocked(PosixTransfer& Transfer, int Result);

    const int FFd;
    const int FWakeFd; // eventfd: other threads tell WaitEvents to look again
    std::unique_ptr<LineSource> FLines;
    const std::shared_ptr<TransferRegistry> FTransfers = std::make_shared<TransferRegistry>();

    std::mutex FMutex;
    ReceiveQueue FQueue{kReceiveQueueFloor};
    CommTimeouts FTimeouts;
    uint32_t FEventMask = 0;
    uint32_t FOccurred = 0;   // events of the mask not yet reported
    uint32_t FErrors = 0;     // CE_* not yet cleared
    uint64_t FMaskChanges = 0;
    bool FHungUp = false;
    bool FInputEnded = false;
    bool FDriverTogglesRts = false; // RS-485 mode
    bool FWatchingLines = false;
    bool FHasCounters = false;
    LineCounters FCounters;
    FlowControl FFlow;
    std::unique_ptr<TxEmptyWatcher> FTxEmptyWatcher;
};

} // namespace device
