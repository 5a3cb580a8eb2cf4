#include "PosixTransfer.h"

#include <cerrno>
#include <system_error>
#include <sys/eventfd.h>
#include <unistd.h>

namespace device {

PosixTransfer::PosixTransfer(std::shared_ptr<TransferRegistry> Registry, Kind Direction)
    : FRegistry(std::move(Registry)), FDirection(Direction), FWakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (FWakeFd < 0)
        throw std::system_error(errno, std::generic_category(), "Cannot create a transfer event");
    Started = LastByte = SteadyClock::now();
    FRegistry->Add(this);
}

PosixTransfer::~PosixTransfer()
{
    FRegistry->Remove(this);
    close(FWakeFd);
}

void PosixTransfer::Wake()
{
    const uint64_t one = 1;
    while (write(FWakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void PosixTransfer::ConsumeWake()
{
    uint64_t value;
    while (read(FWakeFd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

void PosixTransfer::Abort()
{
    FAborted = true;
    Wake();
}

void PosixTransfer::Finish(int EndResult)
{
    Result = EndResult;
    Pending = false;
    FRegistry->Remove(this);
}

void TransferRegistry::Add(PosixTransfer* Transfer)
{
    std::lock_guard lock(FMutex);
    FPending.insert(Transfer);
}

void TransferRegistry::Remove(PosixTransfer* Transfer)
{
    std::lock_guard lock(FMutex);
    FPending.erase(Transfer);
}

void TransferRegistry::Abort(bool Reads, bool Writes)
{
    std::lock_guard lock(FMutex);
    for (PosixTransfer* transfer : FPending) {
        const bool isRead = transfer->Direction() == PosixTransfer::Kind::Read;
        if (isRead ? Reads : Writes)
            transfer->Abort();
    }
}

void TransferRegistry::WakeAll()
{
    std::lock_guard lock(FMutex);
    for (PosixTransfer* transfer : FPending)
        transfer->Wake();
}

} // namespace device
