#include "LineLogDevice.h"

#include <array>
#include <utility>

using namespace device;

namespace {

constexpr std::array<std::pair<uint32_t, const char*>, 8> kEventNames = {{{kEvTxEmpty, "tx-empty"},
                                                                          {kEvCts, "cts"},
                                                                          {kEvDsr, "dsr"},
                                                                          {kEvRlsd, "rlsd"},
                                                                          {kEvBreak, "break"},
                                                                          {kEvRing, "ring"},
                                                                          {kEvRxFlag, "event-char"},
                                                                          {kEvRx80Full, "rx-80%-full"}}};

constexpr std::array<std::pair<uint32_t, const char*>, 7> kErrorNames = {{{kCeFrame, "frame"},
                                                                          {kCeRxParity, "parity"},
                                                                          {kCeOverrun, "overrun"},
                                                                          {kCeRxOver, "rx-queue-overflow"},
                                                                          {kCeBreak, "break"},
                                                                          {kCeTxFull, "tx-queue-full"},
                                                                          {kCeMode, "mode"}}};

template <size_t N>
std::string Names(uint32_t Bits, const std::array<std::pair<uint32_t, const char*>, N>& Table)
{
    std::string names;
    for (const auto& [bit, name] : Table)
        if ((Bits & bit) != 0)
            names += (names.empty() ? "" : " ") + std::string(name);
    return names;
}

std::string FormatText(const DeviceControlBlock& Dcb)
{
    static constexpr char kParity[] = "NOEMS";
    static constexpr const char* kStop[] = {"1", "1.5", "2"};
    std::string text = std::to_string(Dcb.BaudRate) + " " + std::to_string(Dcb.ByteSize) +
                       (Dcb.Parity < 5 ? kParity[Dcb.Parity] : '?') + (Dcb.StopBits < 3 ? kStop[Dcb.StopBits] : "?");
    std::string flow;
    if ((Dcb.Flags & kDcbOutxCtsFlow) != 0)
        flow += " cts";
    if ((Dcb.Flags & kDcbOutxDsrFlow) != 0)
        flow += " dsr";
    if ((Dcb.Flags & kDcbOutX) != 0)
        flow += " xon/xoff-out";
    if ((Dcb.Flags & kDcbInX) != 0)
        flow += " xon/xoff-in";
    return text + ", flow" + (flow.empty() ? std::string(" none") : flow);
}

std::string LinesText(const DeviceControlBlock& Dcb)
{
    static constexpr const char* kControl[] = {"off", "on", "handshake", "toggle"};
    return std::string("dtr ") + kControl[(Dcb.Flags & kDcbDtrControlMask) >> 4] + ", rts " +
           kControl[(Dcb.Flags & kDcbRtsControlMask) >> 12];
}

std::string TimeoutsText(const CommTimeouts& T)
{
    auto ms = [](uint32_t Value) { return Value == kMaxDword ? std::string("max") : std::to_string(Value); };
    return "timeouts read " + ms(T.ReadIntervalTimeout) + "/" + ms(T.ReadTotalTimeoutMultiplier) + "/" +
           ms(T.ReadTotalTimeoutConstant) + " write " + ms(T.WriteTotalTimeoutMultiplier) + "/" +
           ms(T.WriteTotalTimeoutConstant) + " ms";
}

} // namespace

LineLogDevice::LineLogDevice(std::unique_ptr<SerialDevice> Inner, std::shared_ptr<TLineLog> Log)
    : FInner(std::move(Inner)), FLog(std::move(Log))
{
}

LineLogDevice::~LineLogDevice()
{
    FInner.reset();
    FLog->Add(lrClose);
}

std::string LineLogDevice::SettingsText() const
{
    return FormatText(FState) + ", " + LinesText(FState) + ", " + TimeoutsText(FTimeouts);
}

void LineLogDevice::RecordOpen(const std::string& Port)
{
    std::string text;
    {
        std::lock_guard lock(FMutex);
        FOpened = true;
        text = Port + " " + SettingsText();
    }
    FLog->Add(lrOpen, {}, text);
}

int LineLogDevice::SetupQueues(uint32_t InputSize, uint32_t OutputSize)
{
    return FInner->SetupQueues(InputSize, OutputSize);
}

// The device refuses what it did not take (it reads its settings back), so
// what it accepted is what the line runs at.
int LineLogDevice::SetState(const DeviceControlBlock& Dcb)
{
    const int result = FInner->SetState(Dcb);
    if (result != 0)
        return result;
    std::unique_lock lock(FMutex);
    FState = Dcb;
    if (FOpened) {
        const std::string text = SettingsText();
        lock.unlock();
        FLog->Add(lrSettings, {}, text);
    }
    return result;
}

int LineLogDevice::SetTimeouts(const CommTimeouts& Timeouts)
{
    const int result = FInner->SetTimeouts(Timeouts);
    if (result != 0)
        return result;
    std::unique_lock lock(FMutex);
    FTimeouts = Timeouts;
    if (FOpened) {
        const std::string text = SettingsText();
        lock.unlock();
        FLog->Add(lrSettings, {}, text);
    }
    return result;
}

int LineLogDevice::SetEventMask(uint32_t Mask) { return FInner->SetEventMask(Mask); }

// Received bytes show in their read record and errors in the error record
// that the port's look at them makes: the rest of the events are recorded here.
void LineLogDevice::RecordEvents(WaitOutcome Outcome, uint32_t Occurred, int Error)
{
    if (Outcome == WaitOutcome::Failed) {
        FLog->Add(lrFailed, {}, "wait for events", static_cast<uint64_t>(Error));
        return;
    }
    const std::string names = Names(Occurred, kEventNames);
    if (Outcome == WaitOutcome::Events && !names.empty())
        FLog->Add(lrEvents, {}, names);
}

WaitOutcome LineLogDevice::WaitEvents(const ManualResetEvent& Quit, uint32_t& Occurred, int& Error)
{
    const WaitOutcome outcome = FInner->WaitEvents(Quit, Occurred, Error);
    RecordEvents(outcome, Occurred, Error);
    return outcome;
}

bool LineLogDevice::EventWaitable(WaitHandle& Handle) { return FInner->EventWaitable(Handle); }

WaitOutcome LineLogDevice::CheckEvents(uint32_t& Occurred, int& Error)
{
    const WaitOutcome outcome = FInner->CheckEvents(Occurred, Error);
    RecordEvents(outcome, Occurred, Error);
    return outcome;
}

void LineLogDevice::EventsDelivered() { FInner->EventsDelivered(); }

void LineLogDevice::SetTxEmptyWanted(bool Wanted) { FInner->SetTxEmptyWanted(Wanted); }

void LineLogDevice::RecordTransferEnd(const Pending& Transfer, int Result, uint32_t Done)
{
    const char* direction = Transfer.Read ? "read" : "write";
    if (Result == AbortedTransferError())
        FLog->Add(lrCancelled, {}, direction, Done);
    else if (Result != 0 && Result != kIoPending)
        FLog->Add(lrFailed, {}, direction, static_cast<uint64_t>(Result));
    else if (Transfer.Read && Done > 0)
        FLog->Add(lrRead, std::string_view(Transfer.Buffer, Done));
}

int LineLogDevice::StartRead(IoBlock& Block, char* Buffer, uint32_t Count, uint32_t& Done)
{
    const int result = FInner->StartRead(Block, Buffer, Count, Done);
    const Pending transfer{true, Buffer};
    if (result == kIoPending) {
        std::lock_guard lock(FMutex);
        FPending[&Block] = transfer;
    } else {
        Forget(Block);
        RecordTransferEnd(transfer, result, Done);
    }
    return result;
}

// The bytes are recorded as they are handed to the line; a write that does
// not get them all out ends in a record of its own.
int LineLogDevice::StartWrite(IoBlock& Block, const char* Buffer, uint32_t Count, uint32_t& Done)
{
    if (Count > 0)
        FLog->Add(lrWritten, std::string_view(Buffer, Count));
    const int result = FInner->StartWrite(Block, Buffer, Count, Done);
    const Pending transfer{false, nullptr};
    if (result == kIoPending) {
        std::lock_guard lock(FMutex);
        FPending[&Block] = transfer;
    } else {
        Forget(Block);
        RecordTransferEnd(transfer, result, Done);
    }
    return result;
}

// A record reused after a transfer that was never awaited must not be taken
// for that transfer at its next end.
void LineLogDevice::Forget(const IoBlock& Block)
{
    std::lock_guard lock(FMutex);
    FPending.erase(&Block);
}

int LineLogDevice::AwaitTransfer(IoBlock& Block, uint32_t& Done)
{
    const int result = FInner->AwaitTransfer(Block, Done);
    Pending transfer;
    {
        std::lock_guard lock(FMutex);
        const auto found = FPending.find(&Block);
        if (found == FPending.end())
            return result; // its end was recorded at its start
        transfer = found->second;
        FPending.erase(found);
    }
    RecordTransferEnd(transfer, result, Done);
    return result;
}

int LineLogDevice::Purge(uint32_t Flags) { return FInner->Purge(Flags); }

int LineLogDevice::ClearError(uint32_t& Errors, uint32_t& InQueue)
{
    const int result = FInner->ClearError(Errors, InQueue);
    if (result != 0)
        return result;
    if ((Errors & kCeIoe) != 0)
        FLog->Add(lrHangUp);
    if (const std::string names = Names(Errors, kErrorNames); !names.empty())
        FLog->Add(lrLineError, {}, names);
    return result;
}

int LineLogDevice::ModemStatus(uint32_t& Status) { return FInner->ModemStatus(Status); }
