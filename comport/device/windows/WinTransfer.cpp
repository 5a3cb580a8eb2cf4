#include "WinTransfer.h"

#include <system_error>

namespace device {

WinTransfer::WinTransfer(std::shared_ptr<WinTransferRegistry> Registry, Kind Direction)
    : FRegistry(std::move(Registry)), FDirection(Direction)
{
    FOverlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (FOverlapped.hEvent == nullptr)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "Cannot create a transfer's completion event");
}

WinTransfer::~WinTransfer()
{
    if (Pending) {
        FRegistry->Cancel(*this);
        WaitForSingleObject(FOverlapped.hEvent, INFINITE);
        FRegistry->Remove(this);
    }
    CloseHandle(FOverlapped.hEvent);
}

void WinTransfer::Finish(int TransferResult, uint32_t TransferDone)
{
    Pending = false;
    Result = TransferResult;
    Done = TransferDone;
    FRegistry->Remove(this);
}

int WinTransferRegistry::Issue(WinTransfer& Transfer, const std::function<BOOL()>& Start)
{
    std::lock_guard lock(FMutex);
    if (FDevice == INVALID_HANDLE_VALUE)
        return ERROR_INVALID_HANDLE;
    ResetEvent(Transfer.Overlapped().hEvent);
    if (Start())
        return 0;
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING)
        return static_cast<int>(error);
    Transfer.Pending = true;
    FPending.insert(&Transfer);
    return kIoPending;
}

void WinTransferRegistry::Remove(WinTransfer* Transfer)
{
    std::lock_guard lock(FMutex);
    FPending.erase(Transfer);
}

void WinTransferRegistry::Abort(bool Reads, bool Writes)
{
    std::lock_guard lock(FMutex);
    for (WinTransfer* transfer : FPending) {
        const bool read = transfer->Direction() == WinTransfer::Kind::Read;
        if ((read && Reads) || (!read && Writes)) {
            transfer->CancelledByUs = true;
            CancelIoEx(FDevice, &transfer->Overlapped());
        }
    }
}

void WinTransferRegistry::Cancel(WinTransfer& Transfer)
{
    std::lock_guard lock(FMutex);
    Transfer.CancelledByUs = true;
    if (FDevice != INVALID_HANDLE_VALUE)
        CancelIoEx(FDevice, &Transfer.Overlapped());
}

void WinTransferRegistry::Detach()
{
    std::lock_guard lock(FMutex);
    for (WinTransfer* transfer : FPending) {
        transfer->CancelledByUs = true;
        CancelIoEx(FDevice, &transfer->Overlapped());
    }
    FDevice = INVALID_HANDLE_VALUE;
}

} // namespace device
