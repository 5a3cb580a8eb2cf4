#pragma once
// The device layer's own input queue. Raw bytes from the kernel enter through
// Feed, which drops NUL bytes when asked, decodes the kernel's error marks
// (PARMRK: 0xFF 0xFF is a real 0xFF, 0xFF 0x00 0x00 a break, 0xFF 0x00 c a
// byte c received with a parity or framing error), replaces bad bytes, and
// tells which events and line errors the bytes brought. Not thread-safe: the
// device guards it with its mutex.
#include <cstddef>
#include <cstdint>
#include <string>

namespace device {

struct ReceiveOptions {
    bool DiscardNull = false;     // drop NUL bytes
    bool ErrorMarks = false;      // the input carries PARMRK marks
    bool ReplaceErrors = false;   // put ErrorChar in place of a bad byte
    uint8_t ErrorChar = 0;
    uint8_t EventChar = 0;        // its arrival raises kEvRxFlag
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

    size_t Count() const { return FBytes.size() - FHead; }
    size_t Capacity() const { return FCapacity; }
    size_t Room() const { return FCapacity - Count(); }
    bool Full() const { return Count() >= FCapacity; }

    // Decodes raw bytes into the queue. The caller hands at most Room() raw
    // bytes: decoding never lengthens the input, so all of them fit. A mark
    // split between two feeds is completed by the next.
    ReceiveNews Feed(const char* Raw, size_t Size);
    // Moves up to Size bytes out; returns how many.
    size_t Take(char* Buffer, size_t Size);
    // Drops the queued bytes and any half-read mark.
    void Clear();

private:
    enum class MarkState { None, SawFF, SawFF00 };

    ReceiveNews Accept(uint8_t Byte);
    ReceiveNews AcceptBadByte(uint8_t Byte);
    void Append(uint8_t Byte, ReceiveNews& News);

    std::string FBytes;
    size_t FHead = 0;
    size_t FCapacity;
    ReceiveOptions FOptions;
    MarkState FMark = MarkState::None;
};

} // namespace device
