#pragma once
// The device layer's own input queue. Raw bytes from the kernel enter through
// Feed, which drops NUL bytes when asked, decodes the kernel's error marks
// (PARMRK: 0xFF 0xFF is a real 0xFF, 0xFF 0x00 0x00 a break, 0xFF 0x00 c a
// byte c received with a parity or framing error), replaces bad bytes, and
// tells which events and line errors the bytes brought. A ring buffer: when
// no option works byte by byte (Plain) bytes enter in bulk, looked at only for
// the event character, and the line may be read straight into the free space
// (FreeSpan, Commit). The storage grows with what is queued, up to the
// capacity, so an idle queue costs little; the free span may then be shorter
// than Room(), and a reader that fills it asks again. Bytes enter through Feed or Commit and leave through Take
// or Clear: Count() afterwards is the level that flow control watches. Not
// thread-safe: the device guards it with its mutex.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace device {

struct ReceiveOptions {
    bool DiscardNull = false;   // drop NUL bytes
    bool ErrorMarks = false;    // the input carries PARMRK marks
    bool ReplaceErrors = false; // put ErrorChar in place of a bad byte
    uint8_t ErrorChar = 0;
    uint8_t EventChar = 0; // its arrival raises kEvRxFlag
    // Which error a marked byte counts as when nothing else tells: the kernel
    // marks parity and framing errors alike. With parity checked the mark is
    // taken as a parity error, otherwise it can only be a framing error.
    bool ParityChecked = false;
};

// What a Feed brought: EV_* and CE_* bits.
struct ReceiveNews {
    uint32_t Events = 0;
    uint32_t Errors = 0;
};

class ReceiveQueue {
public:
    explicit ReceiveQueue(size_t Capacity);

    void Configure(const ReceiveOptions& Options);
    // The capacity never drops below what the queue holds.
    void SetCapacity(size_t Capacity);
    // The size the 80 % mark refers to: the input size the port asked for,
    // which the capacity may exceed (it has a floor); 0 means the capacity.
    void SetNominalSize(size_t Size) { FNominalSize = Size; }

    size_t Count() const { return FCount; }
    size_t Capacity() const { return FCapacity; }
    size_t Room() const { return FCapacity - Count(); }
    bool Full() const { return Count() >= FCapacity; }

    // No option works byte by byte (no NUL bytes dropped, no error marks).
    bool Plain() const { return !FOptions.DiscardNull && !FOptions.ErrorMarks; }

    // Decodes raw bytes into the queue. The caller hands at most Room() raw
    // bytes: decoding never lengthens the input, so all of them fit. A mark
    // split between two feeds is completed by the next.
    ReceiveNews Feed(const char* Raw, size_t Size);
    // Plain only: the free space after the queued bytes, contiguous (empty
    // when full), grown first when the storage is full but the capacity is
    // not; the caller reads bytes into it and then commits them.
    std::pair<char*, size_t> FreeSpan();
    ReceiveNews Commit(size_t Size);
    // Plain only: what bytes that go straight to a reader, past the empty
    // queue, bring: the event character (no received-characters event: they
    // never waited).
    ReceiveNews Passing(const char* Bytes, size_t Size) const;
    // Moves up to Size bytes out; returns how many.
    size_t Take(char* Buffer, size_t Size);
    // Drops the queued bytes and any half-read mark.
    void Clear();

private:
    enum class MarkState { None, SawFF, SawFF00 };

    ReceiveNews FeedInBulk(const char* Raw, size_t Size);
    // How many bytes from Raw on may go in bulk (none when every byte needs a look).
    size_t PlainRun(const char* Raw, size_t Size) const;
    ReceiveNews Accept(uint8_t Byte);
    ReceiveNews AcceptBadByte(uint8_t Byte);
    void Append(uint8_t Byte, ReceiveNews& News);
    // The news of Size bytes just appended at Bytes (Count() already holds them).
    ReceiveNews Appended(const char* Bytes, size_t Size, size_t CountBefore) const;
    // Storage for More bytes beyond those queued, as far as the capacity
    // allows (made on first use, grown by doubling; given back when emptied
    // beyond the idle size, made again at the size it last had).
    void GrowFor(size_t More);
    // Moves the queued bytes, in order, into new storage of Size bytes.
    void MoveToStorage(size_t Size);
    void ReleaseIdleStorage();
    size_t TakeOut(char* Buffer, size_t Size);
    size_t Tail() const;
    size_t EightyPercent() const;

    std::unique_ptr<char[]> FRing;
    size_t FStorage = 0;     // the ring's size: up to the capacity
    size_t FLastStorage = 0; // the size the ring last grew to
    size_t FHead = 0;
    size_t FCount = 0;
    size_t FCapacity;
    size_t FNominalSize = 0;
    ReceiveOptions FOptions;
    MarkState FMark = MarkState::None;
};

} // namespace device
