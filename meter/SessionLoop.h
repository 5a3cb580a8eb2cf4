#pragma once
// Runs a meter session without an event loop of its own: serves the port's
// hand-overs to this thread (its received bytes and line errors) and fires
// the session's timers at their deadlines, until the caller's condition holds.
// The timers must count on the steady clock.
#include <functional>

class DeadlineTimers;
class MeterSession;

class SessionLoop {
public:
    SessionLoop(MeterSession& Session, DeadlineTimers& Timers) : FSession(Session), FTimers(Timers) {}

    // Call from the thread that serves the port's hand-overs. Returns true
    // when Done holds; Done is checked after every hand-over and every tick.
    // Returns false when no timer runs and Done does not hold, since nothing
    // could change that any more.
    bool RunUntil(const std::function<bool()>& Done);

private:
    MeterSession& FSession;
    DeadlineTimers& FTimers;
};
