#include "RecordingDevice.h"

#include <algorithm>
#include <cstring>

namespace device {

namespace {
// What a transfer on the fake ended with: everything ends at once.
class FinishedTransfer : public TransferState {
public:
    explicit FinishedTransfer(uint32_t Count) : Done(Count) {}
    uint32_t Done;
};
} // namespace

std::vector<RecordedCall> RecordingLog::Calls() const
{
    std::lock_guard lock(FLock);
    return FCalls;
}

std::vector<std::string> RecordingLog::CallNames() const
{
    std::lock_guard lock(FLock);
    std::vector<std::string> names;
    for (const auto& c : FCalls)
        names.push_back(c.Name);
    return names;
}

void RecordingLog::Clear()
{
    std::lock_guard lock(FLock);
    FCalls.clear();
}

void RecordingLog::FailCall(const std::string& Name, int Error)
{
    std::lock_guard lock(FLock);
    FFailures[Name] = Error;
}

void RecordingLog::AddInput(const std::string& Bytes)
{
    std::lock_guard lock(FLock);
    FInput += Bytes;
}

void RecordingLog::SetLineErrors(uint32_t Errors)
{
    std::lock_guard lock(FLock);
    FLineErrors = Errors;
}

void RecordingLog::SetModemStatus(uint32_t Status)
{
    std::lock_guard lock(FLock);
    FModemStatus = Status;
}

std::string RecordingLog::Written() const
{
    std::lock_guard lock(FLock);
    return FWritten;
}

int RecordingLog::OpenDevices() const
{
    std::lock_guard lock(FLock);
    return FOpenDevices;
}

void RecordingLog::RaiseEvents(uint32_t Mask)
{
    std::lock_guard lock(FLock);
    FRaisedEvents.push_back(Mask);
    FWaitReady.Set();
}

void RecordingLog::FailNextWait(int Error)
{
    std::lock_guard lock(FLock);
    FWaitFailure = Error;
    FWaitReady.Set();
}

int RecordingLog::WaitsBegun() const
{
    std::lock_guard lock(FLock);
    return FWaitsBegun;
}

int RecordingLog::Record(RecordedCall Call)
{
    std::lock_guard lock(FLock);
    auto failure = FFailures.find(Call.Name);
    FCalls.push_back(std::move(Call));
    return failure != FFailures.end() ? failure->second : 0;
}

RecordingDevice::RecordingDevice(std::shared_ptr<RecordingLog> Log) : FLog(std::move(Log))
{
    std::lock_guard lock(FLog->FLock);
    ++FLog->FOpenDevices;
}

RecordingDevice::~RecordingDevice()
{
    std::lock_guard lock(FLog->FLock);
    --FLog->FOpenDevices;
}

int RecordingDevice::SetupQueues(uint32_t InputSize, uint32_t OutputSize)
{
    return FLog->Record({"SetupQueues", {InputSize, OutputSize}, {}, {}});
}

int RecordingDevice::SetState(const DeviceControlBlock& Dcb) { return FLog->Record({"SetState", {}, Dcb, {}}); }

int RecordingDevice::SetTimeouts(const CommTimeouts& Timeouts)
{
    return FLog->Record({"SetTimeouts", {}, {}, Timeouts});
}

int RecordingDevice::SetLowLatency(bool Wanted) { return FLog->Record({"SetLowLatency", {Wanted}, {}, {}}); }

int RecordingDevice::SetEventMask(uint32_t Mask) { return FLog->Record({"SetEventMask", {Mask}, {}, {}}); }

WaitOutcome RecordingDevice::WaitEvents(const ManualResetEvent& Quit, uint32_t& Occurred, int& Error)
{
    Occurred = 0;
    Error = 0;
    {
        std::lock_guard lock(FLog->FLock);
        ++FLog->FWaitsBegun;
    }
    ManualResetEvent::WaitAny({&Quit, &FLog->FWaitReady});
    if (Quit.IsSet())
        return WaitOutcome::Quit;
    return TakeRaised(Occurred, Error);
}

bool RecordingDevice::EventWaitable(WaitHandle& Handle)
{
    Handle = FLog->FWaitReady.Handle();
    return true;
}

WaitOutcome RecordingDevice::CheckEvents(uint32_t& Occurred, int& Error)
{
    Occurred = 0;
    Error = 0;
    {
        std::lock_guard lock(FLog->FLock);
        ++FLog->FWaitsBegun;
        if (FLog->FWaitFailure == 0 && FLog->FRaisedEvents.empty())
            return WaitOutcome::Events;
    }
    return TakeRaised(Occurred, Error);
}

WaitOutcome RecordingDevice::TakeRaised(uint32_t& Occurred, int& Error)
{
    std::lock_guard lock(FLog->FLock);
    WaitOutcome outcome = WaitOutcome::Events;
    if (FLog->FWaitFailure != 0) {
        Error = FLog->FWaitFailure;
        FLog->FWaitFailure = 0;
        outcome = WaitOutcome::Failed;
    } else {
        Occurred = FLog->FRaisedEvents.front();
        FLog->FRaisedEvents.pop_front();
    }
    if (FLog->FWaitFailure == 0 && FLog->FRaisedEvents.empty())
        FLog->FWaitReady.Reset();
    return outcome;
}

int RecordingDevice::StartRead(IoBlock& Block, char* Buffer, uint32_t Count, uint32_t& Done)
{
    if (int error = FLog->Record({"StartRead", {Count}, {}, {}}); error != 0)
        return error;
    std::lock_guard lock(FLog->FLock);
    Done = std::min<uint32_t>(Count, static_cast<uint32_t>(FLog->FInput.size()));
    std::memcpy(Buffer, FLog->FInput.data(), Done);
    FLog->FInput.erase(0, Done);
    Block.State = std::make_unique<FinishedTransfer>(Done);
    return 0;
}

int RecordingDevice::StartWrite(IoBlock& Block, const char* Buffer, uint32_t Count, uint32_t& Done)
{
    if (int error = FLog->Record({"StartWrite", {Count}, {}, {}}); error != 0)
        return error;
    std::lock_guard lock(FLog->FLock);
    FLog->FWritten.append(Buffer, Count);
    Done = Count;
    Block.State = std::make_unique<FinishedTransfer>(Done);
    return 0;
}

int RecordingDevice::AwaitTransfer(IoBlock& Block, uint32_t& Done)
{
    const auto* state = dynamic_cast<FinishedTransfer*>(Block.State.get());
    Done = state != nullptr ? state->Done : 0;
    return 0;
}

int RecordingDevice::Purge(uint32_t Flags) { return FLog->Record({"Purge", {Flags}, {}, {}}); }

int RecordingDevice::ClearError(uint32_t& Errors, uint32_t& InQueue)
{
    if (int error = FLog->Record({"ClearError", {}, {}, {}}); error != 0)
        return error;
    std::lock_guard lock(FLog->FLock);
    Errors = FLog->FLineErrors;
    FLog->FLineErrors = 0;
    InQueue = static_cast<uint32_t>(FLog->FInput.size());
    return 0;
}

int RecordingDevice::ModemStatus(uint32_t& Status)
{
    if (int error = FLog->Record({"ModemStatus", {}, {}, {}}); error != 0)
        return error;
    std::lock_guard lock(FLog->FLock);
    Status = FLog->FModemStatus;
    return 0;
}

} // namespace device
