#include "ReceiveQueue.h"

#include <algorithm>
#include <cstring>

#include <velt/comport/device/SerialDevice.h>

namespace device {

namespace {
constexpr uint8_t kMarkLead = 0xFF;
}

ReceiveQueue::ReceiveQueue(size_t Capacity) : FCapacity(Capacity) {}

void ReceiveQueue::Configure(const ReceiveOptions& Options)
{
    if (!Options.ErrorMarks)
        FMark = MarkState::None;
    FOptions = Options;
}

void ReceiveQueue::SetCapacity(size_t Capacity) { FCapacity = std::max(Capacity, Count()); }

ReceiveNews ReceiveQueue::Feed(const char* Raw, size_t Size)
{
    ReceiveNews news;
    for (size_t i = 0; i < Size; ++i) {
        const ReceiveNews one = Accept(static_cast<uint8_t>(Raw[i]));
        news.Events |= one.Events;
        news.Errors |= one.Errors;
    }
    return news;
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
    const size_t eightyPercent = FCapacity - FCapacity / 5;
    const bool belowEighty = Count() < eightyPercent;
    if (FHead > 0 && FHead >= FBytes.size() / 2) {
        FBytes.erase(0, FHead); // keep the dead front from growing without bound
        FHead = 0;
    }
    FBytes.push_back(static_cast<char>(Byte));
    News.Events |= kEvRxChar;
    if (Byte == FOptions.EventChar)
        News.Events |= kEvRxFlag;
    if (belowEighty && Count() >= eightyPercent)
        News.Events |= kEvRx80Full;
}

size_t ReceiveQueue::Take(char* Buffer, size_t Size)
{
    const size_t n = std::min(Size, Count());
    std::memcpy(Buffer, FBytes.data() + FHead, n);
    FHead += n;
    if (FHead == FBytes.size()) {
        FBytes.clear();
        FHead = 0;
    }
    return n;
}

void ReceiveQueue::Clear()
{
    FBytes.clear();
    FHead = 0;
    FMark = MarkState::None;
}

} // namespace device
