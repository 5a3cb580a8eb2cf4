#pragma once
// Modem lines and an output count that a test sets and reads by hand, put in
// place of a pseudo-terminal's (it has no modem lines, and its output never
// shows as waiting). The test keeps the FakeLine; the device gets a source
// bound to it.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "LineSource.h"

class FakeLine {
public:
    FakeLine();

    // A source for the device; it reads and drives these lines.
    std::unique_ptr<device::LineSource> Source();

    // Sets an input line (kMsCtsOn, kMsDsrOn, ...) and reports the change
    // as the watcher of a real line would.
    void SetInput(uint32_t Line, bool On);
    // What the driver's output queue is to hold (0 at first).
    void SetOutputQueued(size_t Count);
    bool Dtr() const;
    bool Rts() const;
    // Every change of DTR and RTS in order: "DTR+ RTS- ...".
    std::string History() const;

    struct State; // shared with the sources

private:
    std::shared_ptr<State> FState;
};
