#pragma once
// A timer of the meter session. The window gives it its own timers; the
// command-line tool and the tests give deadline timers on a clock.
class MeterTimer {
public:
    virtual ~MeterTimer() = default;
    // Starts the count from now, also when the timer was already running.
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;
};

// The session's three timers.
struct MeterTimers {
    MeterTimer& Idle;      // fires one second after the last received burst
    MeterTimer& Watchdog;  // fires one second after a request that got no answer
    MeterTimer& Handshake; // paces the clock handshake; running means answers are handshake answers
};

constexpr int kIdleIntervalMs = 1000;
constexpr int kWatchdogIntervalMs = 1000;
constexpr int kHandshakeIntervalMs = 60;
