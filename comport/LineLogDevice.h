#pragma once
// A serial device that records in a line log what passes through it to the
// device it wraps. The port puts it around its device only while a log is
// attached, so a port without a log pays nothing, and every platform's
// device (and a program's own) is logged the same way without a call of its
// own.
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include <velt/comport/LineLog.h>
#include <velt/comport/device/SerialDevice.h>

class LineLogDevice final : public device::SerialDevice {
public:
    LineLogDevice(std::unique_ptr<device::SerialDevice> Inner, std::shared_ptr<TLineLog> Log);
    // The record of the close: the wrapped device is closed by then.
    ~LineLogDevice() override;

    // The port has opened: record its name with the settings the device took.
    void RecordOpen(const std::string& Port);

    int SetupQueues(uint32_t InputSize, uint32_t OutputSize) override;
    int SetState(const device::DeviceControlBlock& Dcb) override;
    int SetTimeouts(const device::CommTimeouts& Timeouts) override;
    int SetEventMask(uint32_t Mask) override;
    device::WaitOutcome WaitEvents(const device::ManualResetEvent& Quit, uint32_t& Occurred, int& Error) override;
    bool EventWaitable(device::WaitHandle& Handle) override;
    device::WaitOutcome CheckEvents(uint32_t& Occurred, int& Error) override;
    void EventsDelivered() override;
    void SetTxEmptyWanted(bool Wanted) override;
    int StartRead(device::IoBlock& Block, char* Buffer, uint32_t Count, uint32_t& Done) override;
    int StartWrite(device::IoBlock& Block, const char* Buffer, uint32_t Count, uint32_t& Done) override;
    int AwaitTransfer(device::IoBlock& Block, uint32_t& Done) override;
    int Purge(uint32_t Flags) override;
    int ClearError(uint32_t& Errors, uint32_t& InQueue) override;
    int ModemStatus(uint32_t& Status) override;

private:
    // A transfer that went on past its start: what to record at its end.
    struct Pending {
        bool Read = false;
        char* Buffer = nullptr;
    };
    std::string SettingsText() const;
    void RecordEvents(device::WaitOutcome Outcome, uint32_t Occurred, int Error);
    void Forget(const device::IoBlock& Block);
    void RecordTransferEnd(const Pending& Transfer, int Result, uint32_t Done);

    std::unique_ptr<device::SerialDevice> FInner;
    std::shared_ptr<TLineLog> FLog;
    std::mutex FMutex; // guards what follows: transfers start and end on several threads
    std::unordered_map<const device::IoBlock*, Pending> FPending;
    device::DeviceControlBlock FState;
    device::CommTimeouts FTimeouts;
    bool FOpened = false; // settings taken before the open record belong to it
};
