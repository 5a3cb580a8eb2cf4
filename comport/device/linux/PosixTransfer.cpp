#include "PosixTransfer.h"

#include <cerrno>
#include <sys/eventfd.h>
#include <unistd.h>

namespace device {

PosixTransfer::PosixTransfer(std::shared_ptr<TransferRegistry> Registry, Kind Direction)
    : FRegistry(std::move(Registry)), FDirection(Direction), FAbortMark(FRegistry->Aborts(Direction))
{
    Started = LastByte = SteadyClock::now();
}

PosixTransfer::~PosixTransfer()
{
    if (FRegistered)
        FRegistry->Remove(this);
    if (FWakeFd >= 0)
        close(FWakeFd);
}

int PosixTransfer::BecomePending()
{
    FWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FWakeFd < 0)
        return errno;
    FRegistry->Add(this);
    FRegistered = true;
    return 0;
}

bool PosixTransfer::Aborted() const { return FAborted.load() || FRegistry->Aborts(FDirection) != FAbortMark; }

void PosixTransfer::Wake()
{
    if (FWakeFd < 0)
        return;
    const uint64_t one = 1;
    while (write(FWakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void PosixTransfer::ConsumeWake()
{
    if (FWakeFd < 0)
        return;
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
    if (FRegistered)
        FRegistry->Remove(this);
    FRegistered = false;
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
    if (Reads)
        ++FReadAborts;
    if (Writes)
        ++FWriteAborts;
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

namespace device {

uint64_t TransferRegistry::Aborts(PosixTransfer::Kind Direction) const
{
    return Direction == PosixTransfer::Kind::Read ? FReadAborts.load() : FWriteAborts.load();
}

} // namespace device
