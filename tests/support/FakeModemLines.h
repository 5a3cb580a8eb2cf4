#pragma once
// Modem lines that a test sets and reads by hand, put in place of a
// pseudo-terminal's (it has none). The test keeps the FakeModemLines; the
// device gets a source bound to it.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device/ModemLineSource.h"

class FakeModemLines {
public:
    FakeModemLines();

    // A source for the device; it reads and drives these lines.
    std::unique_ptr<device::ModemLineSource> Source();

    // Sets an input line (MS_CTS_ON, MS_DSR_ON, ...) and reports the change
    // as the watcher of a real line would.
    void SetInput(uint32_t Line, bool On);
    bool Dtr() const;
    bool Rts() const;
    // Every change of DTR and RTS in order: "DTR+ RTS- ...".
    std::string History() const;

    struct State; // shared with the sources

private:
    std::shared_ptr<State> FState;
};
