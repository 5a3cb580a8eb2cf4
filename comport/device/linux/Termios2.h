#pragma once
// Linux only: the kernel's termios2 record, reached through TCGETS2/TCSETS2 so that any
// bit rate (BOTHER) reaches the device exactly. Its kernel header clashes with
// <termios.h>, so the record is mirrored here in plain types and only
// Termios2.cpp includes the kernel header. The flag bits keep their values:
// <termios.h> constants (CSIZE, PARENB, IXON...) apply to these fields.
#include <cstdint>

namespace device {

inline constexpr int kTermios2ControlChars = 19;

struct Termios2 {
    uint32_t InputFlags = 0;
    uint32_t OutputFlags = 0;
    uint32_t ControlFlags = 0;
    uint32_t LocalFlags = 0;
    uint8_t Line = 0;
    uint8_t ControlChars[kTermios2ControlChars] = {};
    uint32_t InputSpeed = 0;
    uint32_t OutputSpeed = 0;
};

// 0 or errno.
[[nodiscard]] int ReadTermios2(int Fd, Termios2& Settings);
[[nodiscard]] int WriteTermios2(int Fd, const Termios2& Settings);

// Sets both directions to Rate bits per second through BOTHER.
void SetExactRate(Termios2& Settings, uint32_t Rate);
// The output rate the record holds, whether coded as BOTHER or as a B-constant.
uint32_t OutputRate(const Termios2& Settings);
// The input rate; a record without its own input rate runs at the output rate.
uint32_t InputRate(const Termios2& Settings);

} // namespace device
