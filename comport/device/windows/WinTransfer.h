#pragma once
// The state of one overlapped read or write on a Windows serial device, kept
// in the IoBlock, and the registry of pending ones through which any thread
// can abort them.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

#include <velt/comport/device/SerialDevice.h>
#include "EventHandle.h"

namespace device {

class WinTransferRegistry;

class WinTransfer final : public TransferState {
public:
    enum class Kind { Read, Write };

    // Throws std::system_error when no completion event can be created.
    WinTransfer(std::shared_ptr<WinTransferRegistry> Registry, Kind Direction);
    // The system writes into the OVERLAPPED block until the transfer ends, so
    // a state freed while pending cancels its transfer and waits for the end.
    ~WinTransfer() override;
    WinTransfer(const WinTransfer&) = delete;
    WinTransfer& operator=(const WinTransfer&) = delete;

    // The system sets the completion event when the transfer ends, whether
    // or not anyone awaits it; the event is the waitable object.
    bool Ended() const override { return WaitForSingleObject(FOverlapped.hEvent, 0) == WAIT_OBJECT_0; }
    WaitHandle EndWaitable() override { return platform::WaitHandleOf(FOverlapped.hEvent); }

    Kind Direction() const { return FDirection; }
    OVERLAPPED& Overlapped() { return FOverlapped; }

    // Records how the transfer ended and leaves the registry.
    void Finish(int Result, uint32_t Done);

    bool Pending = false;
    // Set when we cancelled it (an abort, a close): its ERROR_OPERATION_ABORTED
    // is then ours, not a driver's on removal.
    std::atomic<bool> CancelledByUs{false};
    int Result = 0;
    uint32_t Done = 0;

private:
    std::shared_ptr<WinTransferRegistry> FRegistry;
    Kind FDirection;
    OVERLAPPED FOverlapped{};
};

// Shared by a device and its transfer states, so that either may go first.
class WinTransferRegistry {
public:
    explicit WinTransferRegistry(HANDLE Device) : FDevice(Device) {}

    // Issues the transfer through Start (ReadFile or WriteFile, which return
    // at once on an overlapped handle) under the registry's lock, so that an
    // abort from another thread finds it either not yet issued or
    // registered. Returns 0 when it ended at once, kIoPending, or the error.
    int Issue(WinTransfer& Transfer, const std::function<BOOL()>& Start);
    void Remove(WinTransfer* Transfer);
    // Cancels the pending transfers of the given directions.
    void Abort(bool Reads, bool Writes);
    // The device's handle is about to close: cancel everything and forget it.
    void Detach();
    // Cancels one transfer if the device is still there.
    void Cancel(WinTransfer& Transfer);

private:
    std::mutex FMutex;
    HANDLE FDevice;
    std::set<WinTransfer*> FPending;
};

} // namespace device
