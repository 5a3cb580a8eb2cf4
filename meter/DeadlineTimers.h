#pragma once
// The session's timers as deadlines on a clock: for a program without an
// event loop of timers (the command-line tool), and for tests that move a
// fake clock on instead of waiting.
#include <chrono>
#include <optional>

#include "MeterTimer.h"

class MeterSession;

class MeterClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~MeterClock() = default;
    virtual TimePoint Now() const = 0;
};

class SteadyMeterClock : public MeterClock {
public:
    TimePoint Now() const override { return std::chrono::steady_clock::now(); }
};

// Like a window timer: once started it fires every interval until stopped.
class DeadlineTimer : public MeterTimer {
public:
    DeadlineTimer(const MeterClock& Clock, std::chrono::milliseconds Interval) : FClock(Clock), FInterval(Interval) {}

    void Start() override;
    void Stop() override { FActive = false; }
    bool IsActive() const override { return FActive; }

    bool Expired() const { return FActive && FClock.Now() >= FDeadline; }
    MeterClock::TimePoint Deadline() const { return FDeadline; }

private:
    const MeterClock& FClock;
    std::chrono::milliseconds FInterval;
    MeterClock::TimePoint FDeadline{};
    bool FActive = false;
};

class DeadlineTimers {
public:
    explicit DeadlineTimers(const MeterClock& Clock);

    MeterTimers Timers() { return {FIdle, FWatchdog, FHandshake}; }
    // The earliest deadline of a running timer; nothing when none runs.
    std::optional<MeterClock::TimePoint> NextDeadline() const;
    // Gives Session the tick of every timer whose deadline has passed,
    // earliest first.
    void FireExpired(MeterSession& Session);

private:
    DeadlineTimer FIdle;
    DeadlineTimer FWatchdog;
    DeadlineTimer FHandshake;
};
