// Overlapped reads and writes of the Windows serial device.
#include "WinSerialDevice.h"

#include <system_error>

namespace device {

int WinSerialDevice::StartTransfer(IoBlock& Block, WinTransfer::Kind Direction,
                                   const std::function<BOOL(OVERLAPPED&)>& Start, uint32_t& Done)
{
    Done = 0;
    // A block is reused for the next transfer only after the last one ended.
    Block.State.reset();
    std::unique_ptr<WinTransfer> transfer;
    try {
        transfer = std::make_unique<WinTransfer>(FTransfers, Direction);
    } catch (const std::system_error& e) {
        return e.code().value();
    }
    WinTransfer& state = *transfer;
    Block.State = std::move(transfer);
    const int started = FTransfers->Issue(state, [&] { return Start(state.Overlapped()); });
    if (started == kIoPending)
        return kIoPending;
    SetEvent(state.Overlapped().hEvent); // ended at once, or never started: ended either way
    if (started != 0) {
        NoteIfGone(static_cast<DWORD>(started), false);
        state.Finish(started, 0);
        return started;
    }
    const int result = CompleteTransfer(state, false);
    Done = state.Done;
    return result;
}

int WinSerialDevice::StartRead(IoBlock& Block, char* Buffer, uint32_t Count, uint32_t& Done)
{
    return StartTransfer(
        Block, WinTransfer::Kind::Read,
        [&](OVERLAPPED& Overlapped) { return ReadFile(FHandle, Buffer, Count, nullptr, &Overlapped); }, Done);
}

int WinSerialDevice::StartWrite(IoBlock& Block, const char* Buffer, uint32_t Count, uint32_t& Done)
{
    return StartTransfer(
        Block, WinTransfer::Kind::Write,
        [&](OVERLAPPED& Overlapped) { return WriteFile(FHandle, Buffer, Count, nullptr, &Overlapped); }, Done);
}

int WinSerialDevice::AwaitTransfer(IoBlock& Block, uint32_t& Done)
{
    auto* transfer = dynamic_cast<WinTransfer*>(Block.State.get());
    Done = 0;
    if (transfer == nullptr)
        return 0; // nothing was started on this block
    const int result = transfer->Pending ? CompleteTransfer(*transfer, true) : transfer->Result;
    Done = transfer->Done;
    return result;
}

// Collects the outcome of a transfer the system has ended (or, with Wait,
// waits until it has). A read or write that ran into its total timeout ends
// with ERROR_TIMEOUT on some systems and with success on others; either way
// it succeeded with the bytes it moved, as the timeouts promise.
int WinSerialDevice::CompleteTransfer(WinTransfer& Transfer, bool Wait)
{
    OVERLAPPED& overlapped = Transfer.Overlapped();
    DWORD done = 0;
    int result = 0;
    if (!GetOverlappedResult(FHandle, &overlapped, &done, Wait ? TRUE : FALSE)) {
        const DWORD error = GetLastError();
        if (error == ERROR_TIMEOUT)
            done = static_cast<DWORD>(overlapped.InternalHigh);
        else
            result = error == ERROR_OPERATION_ABORTED ? kAbortedTransferError : static_cast<int>(error);
        // The transfer fails with its error; the port hears of the hang-up
        // as a line error besides.
        if (result != 0)
            NoteIfGone(error, Transfer.CancelledByUs);
    }
    Transfer.Finish(result, result == 0 ? done : 0);
    return result;
}

} // namespace device
