#pragma once
// The state of one read or write on a Linux serial device, kept in the
// IoBlock, and the registry of pending ones through which any thread can
// abort them or wake them up.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include <velt/comport/device/SerialDevice.h>
#include "TransferTimeouts.h"

namespace device {

class TransferRegistry;
using SteadyClock = std::chrono::steady_clock;

class PosixTransfer final : public TransferState {
public:
    enum class Kind { Read, Write };

    // Nothing is created or registered yet: a transfer that ends in its first
    // step never needs either.
    PosixTransfer(std::shared_ptr<TransferRegistry> Registry, Kind Direction);
    // Leaves the registry, so a state freed while pending leaves nothing behind.
    ~PosixTransfer() override;

    // The transfer goes on beyond its first step: it gets its wake-up
    // descriptor and joins the registry, through which other threads abort or
    // wake it. An abort since the transfer began counts. 0 or the errno.
    int BecomePending();
    PosixTransfer(const PosixTransfer&) = delete;
    PosixTransfer& operator=(const PosixTransfer&) = delete;

    Kind Direction() const { return FDirection; }
    // Readable while the transfer has something new to look at (bytes,
    // hang-up, abort); the awaiting thread polls it together with the device.
    int WakeDescriptor() const { return FWakeFd; }
    void Wake();
    void ConsumeWake();
    void Abort();
    bool Aborted() const;

    // Marks the transfer ended with Result and leaves the registry.
    void Finish(int Result);

    char* ReadBuffer = nullptr;
    const char* WriteBuffer = nullptr;
    uint32_t Count = 0;
    uint32_t Done = 0;
    SteadyClock::time_point Started;
    SteadyClock::time_point LastByte;
    ReadRule Rule;
    std::optional<Milliseconds> WriteLimit;
    bool Pending = true;
    int Result = 0;

private:
    std::shared_ptr<TransferRegistry> FRegistry;
    Kind FDirection;
    int FWakeFd = -1;
    uint64_t FAbortMark; // the registry's abort count when the transfer began
    bool FRegistered = false;
    std::atomic<bool> FAborted{false};
};

// Shared by a device and its transfer states, so that either may go first.
class TransferRegistry {
public:
    void Add(PosixTransfer* Transfer);
    void Remove(PosixTransfer* Transfer);
    // Ends the pending transfers of the given directions as aborted.
    void Abort(bool Reads, bool Writes);
    // Makes the pending transfers look at the device again.
    void WakeAll();
    // How many aborts of a direction there have been: a transfer not yet
    // registered learns from it that it was aborted meanwhile.
    uint64_t Aborts(PosixTransfer::Kind Direction) const;

private:
    std::atomic<uint64_t> FReadAborts{0};
    std::atomic<uint64_t> FWriteAborts{0};
    std::mutex FMutex;
    std::set<PosixTransfer*> FPending;
};

} // namespace device
