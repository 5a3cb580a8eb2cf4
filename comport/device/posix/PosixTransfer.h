#pragma once
// The state of one read or write on a POSIX serial device, kept in the
// IoBlock, and the queues of pending ones: reads and writes each in the order
// they began, advanced by the device's transfer pump whether or not anyone
// awaits them.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include <velt/comport/device/SerialDevice.h>
#include "TransferTimeouts.h"
#include "UniqueFd.h"

namespace device {

class PendingTransfers;
using SteadyClock = std::chrono::steady_clock;

class PosixTransfer final : public TransferState {
public:
    enum class Kind { Read, Write };

    // Nothing is created or queued yet: a transfer that ends in its first
    // step never needs either.
    PosixTransfer(std::shared_ptr<PendingTransfers> Transfers, Kind Direction);
    // Leaves its queue, so a state freed while pending leaves nothing behind.
    ~PosixTransfer() override;
    PosixTransfer(const PosixTransfer&) = delete;
    PosixTransfer& operator=(const PosixTransfer&) = delete;

    bool Ended() const override { return FEnded.load(std::memory_order_acquire); }
    WaitHandle EndWaitable() override;
    // Blocks until the transfer has ended.
    void AwaitEnd() const;

    Kind Direction() const { return FDirection; }
    // An abort of its direction since the transfer began ends it.
    bool Aborted() const;
    // Marks the transfer ended with Result: its awaiter and its waitable
    // object learn of it. Nothing touches the state afterwards but its owner.
    void Finish(int Result);

    char* ReadBuffer = nullptr;
    const char* WriteBuffer = nullptr;
    uint32_t Count = 0;
    uint32_t Done = 0;
    SteadyClock::time_point Started;
    SteadyClock::time_point LastByte;
    ReadRule Rule;
    std::optional<Milliseconds> WriteLimit;
    bool Queued = false;          // it went past its first step, into its queue
    bool DrivenByAwaiter = false; // its awaiter moves it on, not the pump
    int Result = 0;

private:
    std::shared_ptr<PendingTransfers> FPending;
    Kind FDirection;
    uint64_t FAbortMark; // the aborts of its direction when the transfer began
    std::atomic<bool> FEnded{false};
    mutable std::mutex FEndMutex; // orders Finish against EndWaitable and the destructor
    platform::UniqueFd FEnd;      // the waitable object, made when first asked for
};

// Shared by a device and its transfer states, so that either may go first.
class PendingTransfers {
public:
    struct Queue {
        std::mutex Mutex; // held while a transfer of the direction is begun or stepped
        std::deque<PosixTransfer*> Order;
        std::atomic<uint64_t> Aborts{0};
        // While a synchronous transfer leads the queue, its awaiter moves the
        // queue on and the pump leaves it alone; news reaches the awaiter
        // through AwaiterWake (made once, kept until the device goes).
        std::atomic<int> Awaiters{0}; // awaiters that drive, or are about to
        platform::UniqueFd AwaiterWake;
        bool AwaiterLeads() const { return !Order.empty() && Order.front()->DrivenByAwaiter; }
    };

    ~PendingTransfers() = default;
    PendingTransfers() = default;
    PendingTransfers(const PendingTransfers&) = delete;
    PendingTransfers& operator=(const PendingTransfers&) = delete;

    Queue& Of(PosixTransfer::Kind Direction) { return Direction == PosixTransfer::Kind::Read ? FReads : FWrites; }
    // Appends a transfer that goes on past its first step (Into.Mutex held).
    void Add(Queue& Into, PosixTransfer* Transfer);
    // Takes a transfer out of its queue, wherever it stands.
    void Remove(PosixTransfer* Transfer);
    // Takes an ended transfer out (From.Mutex held).
    void RemoveLocked(Queue& From, std::deque<PosixTransfer*>::iterator& Position);
    // Counts an abort of the given directions: their pending transfers end
    // at their next step.
    void Abort(bool Reads, bool Writes);
    // Hands Into over to the awaiter of the transfer about to lead it
    // (Into.Mutex held); 0 or the error number when it cannot be woken.
    int LetAwaiterDrive(Queue& Into);
    // That awaiter's transfer has ended (Into.Mutex held).
    void AwaiterDone(Queue& Into) { --Into.Awaiters; }
    // News for the queues: the awaiters that drive one look again.
    void WakeAwaiters();
    // The wake-up descriptor that wakes the device's pump, made on first request and
    // kept until the queues go, so that any thread can signal it at any
    // time; -1 with errno when none can be made.
    int PumpWakeFd();
    // Signals it, once it is made.
    void WakePump();
    // Whether any transfer is queued; asked without a lock, so that news for
    // transfers costs nothing while there are none.
    bool AnyPending() const { return FCount.load(std::memory_order_acquire) > 0; }

private:
    Queue FReads;
    Queue FWrites;
    std::atomic<uint32_t> FCount{0};
    std::mutex FPumpFdMutex;
    platform::UniqueFd FPumpWake;     // made under FPumpFdMutex
    std::atomic<int> FPumpWakeFd{-1}; // its descriptor, read without the lock
};

} // namespace device
