// Moving bytes through an open port, and the three questions about the line.
// None of these test Connected: a closed port has no device, which fails
// every operation with the platform's invalid-handle error number.
#include <cstring>
#include <system_error>
#include <typeinfo>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComTransfer.h>

#include "ComPortPrivate.h"

using device::kIoPending;

void NewTransfer(PComTransfer& Transfer) { Transfer = new TComTransfer(); }

void FreeTransfer(PComTransfer& Transfer)
{
    delete Transfer;
    Transfer = nullptr;
}

bool TComTransfer::Ended() const { return !IoBlock.State || IoBlock.State->Ended(); }

device::WaitHandle TComTransfer::EndWaitable()
{
    try {
        if (!IoBlock.State) // a record never used: as a transfer that has ended
            IoBlock.State = std::make_unique<device::TransferState>();
        return IoBlock.State->EndWaitable();
    } catch (const std::system_error& e) {
        throw EComPort(peTransferStatus, e.code().value());
    } catch (const std::runtime_error&) {
        throw EComPort(peTransferStatus);
    }
}

namespace {
// The synchronous operations' record: awaited right after each start, and
// freed on every path (a transfer freed before it ended is dropped).
struct SyncTransfer {
    SyncTransfer()
    {
        NewTransfer(Record);
        Record->IoBlock.AwaitFollows = true;
    }
    ~SyncTransfer() { FreeTransfer(Record); }
    SyncTransfer(const SyncTransfer&) = delete;
    SyncTransfer& operator=(const SyncTransfer&) = delete;
    PComTransfer Record = nullptr;
};
} // namespace

int32_t TCustomComPort::BeginWrite(const void* Buffer, int32_t Count, PComTransfer Transfer)
{
    if (Transfer == nullptr)
        throw EComPort(peBadTransfer);
    Transfer->Direction = tdWrite;
    Transfer->WrittenCopy.reset();
    Transfer->WrittenSize = 0;
    if (Count > 0) {
        Transfer->WrittenCopy = std::make_unique<char[]>(static_cast<size_t>(Count));
        std::memcpy(Transfer->WrittenCopy.get(), Buffer, static_cast<size_t>(Count));
        Transfer->WrittenSize = Count;
    }
    const auto device = Device();
    if (!device)
        throw EComPort(peWriteFailed, device::InvalidHandleError());
    TellDeviceWhetherTxEmptyIsWanted(*device);
    uint32_t done = 0;
    const int result =
        device->StartWrite(Transfer->IoBlock, static_cast<const char*>(Buffer), static_cast<uint32_t>(Count), done);
    if (result != 0 && result != kIoPending)
        throw EComPort(peWriteFailed, result);
    BroadcastLinkState(lnTx, true);
    return static_cast<int32_t>(done);
}

// Watching for the end of a write costs the device a helper and every write
// an extra wake-up: it is asked for only while a handler or a link listens,
// or where a subclass may have replaced TriggerTxEmpty.
bool TCustomComPort::TxEmptyListened() const
{
    if (!FPrivate->FEvents.Contains(evTxEmpty))
        return false;
    if (OnTxEmpty || TriggerTxEmptyMayBeReplaced())
        return true;
    for (const TPortLink* link : FPrivate->FLinkList)
        if (link->OnLinkTxEmpty || link->OnLinkTx)
            return true;
    return false;
}

// Only the component's own classes are known not to replace TriggerTxEmpty;
// any other class may, whether or not it says so, unless it says it keeps it.
bool TCustomComPort::TriggerTxEmptyMayBeReplaced() const
{
    if (FPrivate->FTxEmptyTriggerKept)
        return false;
    const std::type_info& type = typeid(*this);
    return type != typeid(TComPort) && type != typeid(TCustomComPort);
}

void TCustomComPort::ListenForTxEmpty() {}

void TCustomComPort::KeepsTriggerTxEmpty() { FPrivate->FTxEmptyTriggerKept = true; }

void TCustomComPort::TellDeviceWhetherTxEmptyIsWanted(device::SerialDevice& Device)
{
    const int8_t wanted = TxEmptyListened() ? 1 : 0;
    if (FPrivate->FTxEmptyWanted.exchange(wanted) != wanted)
        Device.SetTxEmptyWanted(wanted == 1);
}

int32_t TCustomComPort::BeginWriteText(const std::string& Text, PComTransfer Transfer)
{
    if (Text.empty())
        return 0;
    return BeginWrite(Text.data(), static_cast<int32_t>(Text.size()), Transfer);
}

int32_t TCustomComPort::BeginRead(void* Buffer, int32_t Count, PComTransfer Transfer)
{
    if (Transfer == nullptr)
        throw EComPort(peBadTransfer);
    Transfer->Direction = tdRead;
    const auto device = Device();
    if (!device)
        throw EComPort(peReadFailed, device::InvalidHandleError());
    uint32_t done = 0;
    const int result =
        device->StartRead(Transfer->IoBlock, static_cast<char*>(Buffer), static_cast<uint32_t>(Count), done);
    if (result != 0 && result != kIoPending)
        throw EComPort(peReadFailed, result);
    return static_cast<int32_t>(done);
}

int32_t TCustomComPort::BeginReadText(std::string& Text, int32_t Count, PComTransfer Transfer)
{
    Text.resize(Count > 0 ? static_cast<size_t>(Count) : 0);
    if (Count <= 0)
        return 0;
    return BeginRead(Text.data(), Count, Transfer);
}

int32_t TCustomComPort::AwaitTransfer(PComTransfer Transfer)
{
    if (Transfer == nullptr)
        throw EComPort(peBadTransfer);
    if (!Transfer->Direction)
        return 0; // nothing was started on this record
    const int32_t failCode = *Transfer->Direction == tdWrite ? peWriteFailed : peReadFailed;
    const auto device = Device();
    if (!device)
        throw EComPort(failCode, device::InvalidHandleError());
    uint32_t done = 0;
    const int result = device->AwaitTransfer(Transfer->IoBlock, done);
    if (result != 0)
        throw EComPort(failCode, result);
    // Sent bytes go to the links for write records only: a record reused for
    // a read keeps its last write's copy, which was handed out already.
    if (*Transfer->Direction == tdRead) {
        if (InQueueCount() == 0)
            BroadcastLinkState(lnRx, false);
    } else if (Transfer->WrittenCopy) {
        BroadcastSentData(Transfer->WrittenCopy.get(), Transfer->WrittenSize);
    }
    return static_cast<int32_t>(done);
}

int32_t TCustomComPort::WriteText(const std::string& Text)
{
    SyncTransfer transfer;
    BeginWriteText(Text, transfer.Record);
    return AwaitTransfer(transfer.Record);
}

int32_t TCustomComPort::ReadBytes(void* Buffer, int32_t Count)
{
    SyncTransfer transfer;
    BeginRead(Buffer, Count, transfer.Record);
    return AwaitTransfer(transfer.Record);
}

int32_t TCustomComPort::ReadText(std::string& Text, int32_t Count)
{
    SyncTransfer transfer;
    BeginReadText(Text, Count, transfer.Record);
    const int32_t n = AwaitTransfer(transfer.Record);
    Text.resize(static_cast<size_t>(n));
    return n;
}

void TCustomComPort::AbortTransfers()
{
    const auto device = Device();
    if (!device)
        throw EComPort(pePurgeFailed, device::InvalidHandleError());
    const int error = device->Purge(device::kPurgeTxAbort | device::kPurgeRxAbort);
    if (error != 0)
        throw EComPort(pePurgeFailed, error);
}

int32_t TCustomComPort::InQueueCount()
{
    const auto device = Device();
    if (!device)
        throw EComPort(peClearErrorFailed, device::InvalidHandleError());
    uint32_t errors = 0;
    uint32_t inQueue = 0;
    const int error = device->ClearError(errors, inQueue);
    if (error != 0)
        throw EComPort(peClearErrorFailed, error);
    return static_cast<int32_t>(inQueue);
}

TComLineSignals TCustomComPort::LineSignals()
{
    const auto device = Device();
    if (!device)
        throw EComPort(peModemStatusFailed, device::InvalidHandleError());
    uint32_t status = 0;
    const int error = device->ModemStatus(status);
    if (error != 0)
        throw EComPort(peModemStatusFailed, error);
    return TComLineSignals::FromBits(static_cast<uint8_t>((status & 0xF0) >> 4));
}

TComErrors TCustomComPort::FetchLineErrors()
{
    using namespace device;
    const auto device = Device();
    if (!device)
        throw EComPort(peClearErrorFailed, InvalidHandleError());
    uint32_t flags = 0;
    uint32_t inQueue = 0;
    const int error = device->ClearError(flags, inQueue);
    if (error != 0)
        throw EComPort(peClearErrorFailed, error);
    TComErrors errors;
    const std::pair<uint32_t, TComError> kFlags[] = {
        {kCeFrame, ceFrame}, {kCeRxParity, ceRxParity}, {kCeOverrun, ceOverrun}, {kCeBreak, ceBreak},
        {kCeIoe, ceIO},      {kCeMode, ceMode},         {kCeRxOver, ceRxOver},   {kCeTxFull, ceTxFull}};
    for (const auto& [flag, member] : kFlags)
        if ((flags & flag) != 0)
            errors.Include(member);
    if (!FPrivate->FParity->Check())
        errors.Exclude(ceRxParity);
    return errors;
}
