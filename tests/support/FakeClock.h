#pragma once
// A clock for the meter's deadline timers that moves only when the test
// moves it, so that no test waits for real time to pass.
#include <chrono>

#include "DeadlineTimers.h"

class FakeClock : public MeterClock {
public:
    TimePoint Now() const override { return FNow; }
    void Advance(std::chrono::milliseconds Step) { FNow += Step; }

private:
    TimePoint FNow{};
};
