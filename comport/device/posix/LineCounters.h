#pragma once
// The driver's line counters (TIOCGICOUNT): modem-line changes and receive
// errors since the port came up. Pseudo-terminals and some drivers keep none.
// The bodies are the system's: linux/LineCounters.cpp; a system without such
// counters reads none (false), and the marks in the input tell the errors.
#include <cstdint>

namespace device {

struct LineCounters {
    uint32_t Cts = 0, Dsr = 0, Ring = 0, Carrier = 0;
    uint32_t Frame = 0, Parity = 0, Overrun = 0, Break = 0, BufferOverrun = 0;
};

// false where the driver keeps no counters.
bool ReadLineCounters(int Fd, LineCounters& Counters);

// CE_* bits for the receive errors counted between two readings: a lost byte
// in the tty buffer is a receive-queue overflow (kCeRxOver).
uint32_t ErrorsBetween(const LineCounters& Before, const LineCounters& After);

// EV_* bits for the modem-line changes counted between two readings.
uint32_t ModemEventsBetween(const LineCounters& Before, const LineCounters& After);

} // namespace device
