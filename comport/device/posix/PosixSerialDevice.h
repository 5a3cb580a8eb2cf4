#pragma once
// The serial device on a POSIX system: a tty opened non-blocking, with the
// receive queue, the timeouts and the event wait kept in user space. The event
// thread (WaitEvents) or the main loop (CheckEvents) and the transfers,
// queries and settings use it at the same time; one mutex guards the shared
// state, and no thread blocks while holding it. The waitable object is a
// readiness set over the line (while there is room for its bytes) and a
// wake-up descriptor through which helpers and other threads announce events.
// What the system alone can do (open, line settings, modem lines, counters,
// the readiness set, port names) it reaches through the seam headers beside
// this one, whose bodies live in the system's folder (linux/).
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>

#include "AdapterLatency.h"
#include "DeviceWaitSet.h"
#include "FlowControl.h"
#include "LineCounters.h"
#include "LineSource.h"
#include "PosixTransfer.h"
#include "ReceiveQueue.h"
#include <velt/comport/device/SerialDevice.h>
#include "TransferPump.h"
#include "TxEmptyWatcher.h"
#include "UniqueFd.h"
#include "WaitDescriptor.h"

namespace device {

// The queue never holds less than this, whatever input size is asked for: a
// small queue would make throughput hang on how often the queue is emptied.
inline constexpr size_t kReceiveQueueFloor = 64 * 1024;
inline constexpr size_t kReceiveQueueCeiling = 16 * 1024 * 1024;

class PosixSerialDevice final : public SerialDevice {
public:
    // Opens and prepares Path; null with Error (errno) on failure.
    static std::unique_ptr<PosixSerialDevice> Open(const std::string& Path, int& Error);

    // Takes ownership of an open, prepared device descriptor, of a wake-up
    // descriptor through which other threads announce events, and of the
    // readiness set over it that becomes the waitable object.
    PosixSerialDevice(platform::UniqueFd Fd, platform::UniqueFd WakeFd, DeviceWaitSet WaitSet);
    ~PosixSerialDevice() override;
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    int SetupQueues(uint32_t InputSize, uint32_t OutputSize) override;
    int SetState(const DeviceControlBlock& Dcb) override;
    int SetTimeouts(const CommTimeouts& Timeouts) override;
    int SetLowLatency(bool Wanted) override { return FLatency.Request(Wanted); }
    int SetEventMask(uint32_t Mask) override;
    WaitOutcome WaitEvents(const ManualResetEvent& Quit, uint32_t& Occurred, int& Error) override;
    bool EventWaitable(WaitHandle& Handle) override
    {
        Handle = platform::WaitHandleOf(FWaitSet.Descriptor());
        return true;
    }
    WaitOutcome CheckEvents(uint32_t& Occurred, int& Error) override;
    void EventsDelivered() override { FInputFresh = false; }
    void SetTxEmptyWanted(bool Wanted) override { FTxEmptyWanted = Wanted; }
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
    ssize_t ReadLineLocked(char* Buffer, size_t Size);
    bool PullInputLocked();
    size_t ReadPastQueueLocked(char* Buffer, size_t Size);
    void PullInputUnlessFreshLocked();
    int TakeInReadyLocked();
    bool TakeReportLocked(uint64_t MaskChanges, uint32_t& Occurred);
    void UpdateDeviceWatchLocked();
    void NoteCountersLocked(ReceiveNews& News);
    void RecordEventsLocked(uint32_t Events);
    void NoteHangupLocked();
    bool WatchingDeviceLocked() const;
    void WakeWaiter(); // under FMutex
    void ConsumeWaiterWake();
    void OnHelperEvents(uint32_t Events);
    void StartModemWatcherLocked();
    void RequestTxEmptyLocked();
    void QueueLevelChangedLocked();
    int SetRtsTogglingLocked(const DeviceControlBlock& Dcb);

    // What one look at the queue gave a read.
    struct ReadProgress {
        size_t Taken = 0;
        bool InputGone = false;
        bool WatchDevice = false;
    };

    // Transfers (PosixSerialTransfers.cpp).
    int Begun(PendingTransfers::Queue& Queue, PosixTransfer& Transfer, bool AwaitFollows, uint32_t& Done);
    void DriveUntilEnded(PosixTransfer& Transfer);
    ReadProgress ReadQueuedLocked(PosixTransfer& Transfer);
    StepOutcome ConcludeRead(PosixTransfer& Transfer, const ReadProgress& Progress);
    StepOutcome StepWrite(PosixTransfer& Transfer, bool First);
    StepOutcome Step(PosixTransfer& Transfer);
    StepOutcome StepOrFail(PosixTransfer& Transfer);
    StepOutcome StepWaitingTurn(PosixTransfer& Transfer);
    PumpWait AdvancePending();
    StepOutcome AdvanceQueue(PendingTransfers::Queue& Queue, bool ForPump);
    void LineHungUp();
    // Starts the pump unless it runs; 0 or the error number.
    int StartPump();
    // Pending transfers have news (bytes, a hang-up, flow control let go):
    // the pump looks again. Costs nothing while none is pending.
    void TellPendingTransfers();
    // Writes the transfer's bytes up to Until, as far as the kernel takes
    // them; true when it took them all.
    bool TransmitStep(PosixTransfer& Transfer, uint32_t Until, bool Tracked);
    void EndWrite(PosixTransfer& Transfer, int Result);
    void EndWriteLocked(PosixTransfer& Transfer, int Result);

    // Closed last, after every helper that uses them has stopped; closing the
    // line also releases its flock.
    const platform::UniqueFd FLine;
    const platform::UniqueFd FWake;
    const int FFd = FLine.Get();
    const int FWakeFd = FWake.Get(); // other threads tell the waiter to look again
    DeviceWaitSet FWaitSet;          // the waitable object: the line and FWakeFd
    std::unique_ptr<LineSource> FLines;
    const std::shared_ptr<PendingTransfers> FPending = std::make_shared<PendingTransfers>();
    TransferPump FPump{FFd, [this] { return AdvancePending(); }, [this] { LineHungUp(); }};

    std::mutex FMutex;
    ReceiveQueue FQueue{kReceiveQueueFloor};
    CommTimeouts FTimeouts;
    uint32_t FEventMask = 0;
    uint32_t FOccurred = 0; // events of the mask not yet reported
    uint32_t FErrors = 0;   // CE_* not yet cleared
    uint64_t FMaskChanges = 0;
    bool FHungUp = false;
    bool FDeviceWatched = false; // the line is watched for input
    bool FChecking = false;      // the waiter itself is looking: events need no wake-up
    bool FWakeSignalled = false; // FWakeFd holds an announcement not yet taken
    std::atomic<bool> FInputFresh{false};
    std::atomic<bool> FTxEmptyWanted{true};
    bool FInputEnded = false;
    bool FDriverTogglesRts = false; // RS-485 mode
    bool FWatchingLines = false;
    bool FHasCounters = false;
    LineCounters FCounters;
    FlowControl FFlow;
    const bool FMarkBreaks; // the line can carry a break (not a pseudo-terminal)
    std::unique_ptr<TxEmptyWatcher> FTxEmptyWatcher;
    AdapterLatency FLatency{FFd}; // set back as the line was before it closes
};

} // namespace device
