#include "ReceiveQueue.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <velt/comport/device/SerialDevice.h>

namespace device {

namespace {
constexpr uint8_t kMarkLead = 0xFF;
// The storage starts at one read's worth and doubles while bytes come
// faster than they are taken, up to the capacity. Emptied, storage beyond
// what an idle port may keep is given back.
constexpr size_t kFirstStorage = 4096;
constexpr size_t kIdleStorage = 16384;
} // namespace

ReceiveQueue::ReceiveQueue(size_t Capacity) : FCapacity(Capacity) {}

void ReceiveQueue::Configure(const ReceiveOptions& Options)
{
    if (!Options.ErrorMarks)
        FMark = MarkState::None;
    FOptions = Options;
}

void ReceiveQueue::SetCapacity(size_t Capacity)
{
    FCapacity = std::max(Capacity, Count());
    FLastStorage = std::min(FLastStorage, FCapacity);
    if (FStorage > FCapacity)
        MoveToStorage(FCapacity);
}

// A queue emptied and filled again goes straight back to the size it had
// (bytes came in bursts that large before), so a stream neither reallocates
// step by step nor reads in small pieces after every drain.
void ReceiveQueue::GrowFor(size_t More)
{
    if (FCount + More <= FStorage || FStorage >= FCapacity)
        return;
    const size_t size = std::max({FStorage * 2, kFirstStorage, FLastStorage, FCount + More});
    MoveToStorage(std::min(size, FCapacity));
}

void ReceiveQueue::MoveToStorage(size_t Size)
{
    // Not zeroed: only bytes written are ever read.
    auto ring = std::make_unique_for_overwrite<char[]>(Size);
    const size_t n = TakeOut(ring.get(), FCount);
    FRing = std::move(ring);
    FStorage = Size;
    FLastStorage = Size;
    FHead = 0;
    FCount = n;
}

void ReceiveQueue::ReleaseIdleStorage()
{
    if (FCount != 0 || FStorage <= kIdleStorage)
        return;
    FRing.reset();
    FStorage = 0;
}

size_t ReceiveQueue::EightyPercent() const
{
    const size_t size = FNominalSize == 0 ? FCapacity : std::min(FNominalSize, FCapacity);
    return size - size / 5;
}

size_t ReceiveQueue::Tail() const { return FStorage == 0 ? 0 : (FHead + FCount) % FStorage; }

ReceiveNews ReceiveQueue::Appended(const char* Bytes, size_t Size, size_t CountBefore) const
{
    ReceiveNews news;
    if (Size == 0)
        return news;
    news.Events |= kEvRxChar;
    if (std::memchr(Bytes, FOptions.EventChar, Size) != nullptr)
        news.Events |= kEvRxFlag;
    if (CountBefore < EightyPercent() && FCount >= EightyPercent())
        news.Events |= kEvRx80Full;
    return news;
}

std::pair<char*, size_t> ReceiveQueue::FreeSpan()
{
    GrowFor(1);
    if (FCount == 0)
        FHead = 0; // the whole space in one piece
    const size_t tail = Tail();
    const size_t end = tail >= FHead && FCount < FStorage ? FStorage : FHead;
    return {FRing.get() + tail, FCount == FStorage ? 0 : end - tail};
}

ReceiveNews ReceiveQueue::Commit(size_t Size)
{
    const char* bytes = FRing.get() + Tail();
    const size_t before = FCount;
    FCount += Size;
    return Appended(bytes, Size, before);
}

ReceiveNews ReceiveQueue::Passing(const char* Bytes, size_t Size) const
{
    ReceiveNews news;
    if (Size > 0 && std::memchr(Bytes, FOptions.EventChar, Size) != nullptr)
        news.Events |= kEvRxFlag;
    return news;
}

ReceiveNews ReceiveQueue::Feed(const char* Raw, size_t Size)
{
    if (Plain())
        return FeedInBulk(Raw, Size);
    ReceiveNews news;
    for (size_t i = 0; i < Size;) {
        const size_t run = PlainRun(Raw + i, Size - i);
        const ReceiveNews more = run > 0 ? FeedInBulk(Raw + i, run) : Accept(static_cast<uint8_t>(Raw[i]));
        news.Events |= more.Events;
        news.Errors |= more.Errors;
        i += std::max<size_t>(run, 1);
    }
    return news;
}

// In bulk: at most two pieces, where the ring wraps.
ReceiveNews ReceiveQueue::FeedInBulk(const char* Raw, size_t Size)
{
    ReceiveNews news;
    for (size_t fed = 0; fed < Size;) {
        const auto [space, room] = FreeSpan();
        const size_t n = std::min(room, Size - fed);
        if (n == 0)
            break;
        std::memcpy(space, Raw + fed, n);
        const ReceiveNews more = Commit(n);
        news.Events |= more.Events;
        fed += n;
    }
    return news;
}

// With marks as the only option, the bytes up to the next 0xFF outside a
// mark need no look of their own: most input goes in bulk.
size_t ReceiveQueue::PlainRun(const char* Raw, size_t Size) const
{
    if (FOptions.DiscardNull || FMark != MarkState::None)
        return 0;
    const void* lead = std::memchr(Raw, kMarkLead, Size);
    return lead == nullptr ? Size : static_cast<size_t>(static_cast<const char*>(lead) - Raw);
}

ReceiveNews ReceiveQueue::Accept(uint8_t Byte)
{
    ReceiveNews news;
    if (!FOptions.ErrorMarks) {
        Append(Byte, news);
        return news;
    }
    switch (FMark) {
    case MarkState::None:
        if (Byte == kMarkLead)
            FMark = MarkState::SawFF;
        else
            Append(Byte, news);
        break;
    case MarkState::SawFF:
        FMark = Byte == 0 ? MarkState::SawFF00 : MarkState::None;
        if (Byte == kMarkLead) {
            Append(kMarkLead, news); // 0xFF 0xFF: one real 0xFF
        } else if (Byte != 0) {
            Append(kMarkLead, news); // not a mark after all: keep both bytes
            Append(Byte, news);
        }
        break;
    case MarkState::SawFF00:
        FMark = MarkState::None;
        if (Byte == 0) {
            news.Events |= kEvBreak;
            news.Errors |= kCeBreak;
        } else {
            news = AcceptBadByte(Byte);
        }
        break;
    }
    return news;
}

ReceiveNews ReceiveQueue::AcceptBadByte(uint8_t Byte)
{
    ReceiveNews news;
    news.Events |= kEvErr;
    news.Errors |= FOptions.ParityChecked ? kCeRxParity : kCeFrame;
    Append(FOptions.ReplaceErrors ? FOptions.ErrorChar : Byte, news);
    return news;
}

void ReceiveQueue::Append(uint8_t Byte, ReceiveNews& News)
{
    if (Byte == 0 && FOptions.DiscardNull)
        return;
    GrowFor(1);
    if (FCount == FStorage)
        return; // cannot happen: decoding never lengthens what the caller may hand in
    const char byte = static_cast<char>(Byte);
    FRing[Tail()] = byte;
    const size_t before = FCount++;
    const ReceiveNews news = Appended(&byte, 1, before);
    News.Events |= news.Events;
}

size_t ReceiveQueue::Take(char* Buffer, size_t Size)
{
    const size_t n = TakeOut(Buffer, Size);
    ReleaseIdleStorage();
    return n;
}

size_t ReceiveQueue::TakeOut(char* Buffer, size_t Size)
{
    const size_t n = std::min(Size, FCount);
    if (n == 0)
        return 0;
    const size_t first = std::min(n, FStorage - FHead);
    std::memcpy(Buffer, FRing.get() + FHead, first);
    std::memcpy(Buffer + first, FRing.get(), n - first);
    FHead = (FHead + n) % FStorage;
    FCount -= n;
    if (FCount == 0)
        FHead = 0;
    return n;
}

void ReceiveQueue::Clear()
{
    FCount = 0;
    FHead = 0;
    FMark = MarkState::None;
    ReleaseIdleStorage();
}

} // namespace device
