#pragma once
// What the tests on real serial drivers share: the rig's control line to the
// host (the far end of each line, the adapter's plug), the lines' device
// names, and looks at the device through the port's own descriptor.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "Termios2.h"

// The lines under test: the 16550 UART and the FTDI USB adapter.
enum class RigLineKind { Uart, Ftdi };

// The rig's name of a line in its requests ("uart", "usb").
std::string RigName(RigLineKind Line);
// The device path of a line in the guest.
std::string RigDevice(RigLineKind Line);

// Why these tests cannot run here; empty inside the rig.
std::string RigMissing();

// Skips the test, naming the reason, outside the rig.
#define SKIP_OUTSIDE_RIG()                                                                                             \
    do {                                                                                                               \
        const std::string missing = RigMissing();                                                                      \
        if (!missing.empty())                                                                                          \
            GTEST_SKIP() << missing;                                                                                   \
    } while (false)

// Asks the host for something; returns the answer's bytes (decoded from
// hex) and fails the test when the host refuses or does not answer.
std::string RigAsk(const std::string& Request);
// Bytes the host sends to the guest over Line.
void RigSend(RigLineKind Line, const std::string& Bytes);
// Up to Count bytes that reached the host over Line, waiting up to WaitMs.
std::string RigTake(RigLineKind Line, size_t Count, int WaitMs);

// Pulls the adapter out (returns once the host has seen it go) and plugs it
// back (returns once its device node is there again).
void RigUnplug();
void RigPlug();

// The modem-control lines (TIOCM_*) of the device; -1 when they cannot be
// read. These look through the descriptor of the port that has the device
// open (a second open would raise DTR and RTS), or open it while none has.
int ModemBits(const std::string& Device);
// Sets (On) or clears Bits (TIOCM_*) of the device.
void SetModemBits(const std::string& Device, int Bits, bool On);
// The line settings the driver keeps for the device (all zero when unreadable).
device::Termios2 DriverLine(const std::string& Device);
