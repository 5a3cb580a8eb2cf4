#pragma once
// A device for tests that must see the exact calls the port makes: it records
// every call with its arguments into a log that outlives the device, can be
// told to fail a given call, and plays a line from an in-memory input.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <velt/comport/device/SerialDevice.h>

namespace device {

struct RecordedCall {
    std::string Name;                // "SetupQueues", "SetState", "SetTimeouts", ...
    std::vector<uint32_t> Arguments; // the numbers passed, in order
    DeviceControlBlock Dcb;          // for SetState
    CommTimeouts Timeouts;           // for SetTimeouts
};

// Shared between the test and the device (the port owns the device).
class RecordingLog {
public:
    std::vector<RecordedCall> Calls() const;
    std::vector<std::string> CallNames() const;
    void Clear();
    // The next calls of this name fail with this error number (0 ends it).
    void FailCall(const std::string& Name, int Error);
    // Bytes the device will hand to reads, and the line errors and modem
    // lines it reports.
    void AddInput(const std::string& Bytes);
    void SetLineErrors(uint32_t Errors);
    void SetModemStatus(uint32_t Status);
    std::string Written() const;
    int OpenDevices() const;

    // Line events for the event thread: each mask raised is reported by one
    // wait, in order; a failed wait is reported once, before any mask.
    void RaiseEvents(uint32_t Mask);
    void FailNextWait(int Error);
    // How many waits have begun; a thread that waits again after a hand-over
    // raises it.
    int WaitsBegun() const;

private:
    friend class RecordingDevice;
    int Record(RecordedCall Call);
    mutable std::mutex FLock;
    std::vector<RecordedCall> FCalls;
    std::map<std::string, int> FFailures;
    std::string FInput;
    std::string FWritten;
    uint32_t FLineErrors = 0;
    uint32_t FModemStatus = 0;
    int FOpenDevices = 0;
    std::deque<uint32_t> FRaisedEvents;
    int FWaitFailure = 0;
    int FWaitsBegun = 0;
    ManualResetEvent FWaitReady; // set while a mask or a failure waits to be reported
};

class RecordingDevice : public SerialDevice {
public:
    explicit RecordingDevice(std::shared_ptr<RecordingLog> Log);
    ~RecordingDevice() override;

    int SetupQueues(uint32_t InputSize, uint32_t OutputSize) override;
    int SetState(const DeviceControlBlock& Dcb) override;
    int SetTimeouts(const CommTimeouts& Timeouts) override;
    int SetLowLatency(bool Wanted) override;
    int SetEventMask(uint32_t Mask) override;
    // Reports what the test raised (RaiseEvents, FailNextWait) or Quit,
    // which wins when both are there.
    WaitOutcome WaitEvents(const ManualResetEvent& Quit, uint32_t& Occurred, int& Error) override;
    // Signalled while a raised mask or a failure waits to be reported.
    bool EventWaitable(WaitHandle& Handle) override;
    WaitOutcome CheckEvents(uint32_t& Occurred, int& Error) override;
    int StartRead(IoBlock& Block, char* Buffer, uint32_t Count, uint32_t& Done) override;
    int StartWrite(IoBlock& Block, const char* Buffer, uint32_t Count, uint32_t& Done) override;
    int AwaitTransfer(IoBlock& Block, uint32_t& Done) override;
    int Purge(uint32_t Flags) override;
    int ClearError(uint32_t& Errors, uint32_t& InQueue) override;
    int ModemStatus(uint32_t& Status) override;

private:
    WaitOutcome TakeRaised(uint32_t& Occurred, int& Error);

    std::shared_ptr<RecordingLog> FLog;
};

} // namespace device
