#include "DeadlineTimers.h"

#include <array>
#include <utility>

#include "MeterSession.h"

void DeadlineTimer::Start()
{
    FDeadline = FClock.Now() + FInterval;
    FActive = true;
}

DeadlineTimers::DeadlineTimers(const MeterClock& Clock)
    : FIdle(Clock, std::chrono::milliseconds(kIdleIntervalMs)),
      FWatchdog(Clock, std::chrono::milliseconds(kWatchdogIntervalMs)),
      FHandshake(Clock, std::chrono::milliseconds(kHandshakeIntervalMs))
{
}

std::optional<MeterClock::TimePoint> DeadlineTimers::NextDeadline() const
{
    std::optional<MeterClock::TimePoint> next;
    for (const DeadlineTimer* timer : {&FIdle, &FWatchdog, &FHandshake})
        if (timer->IsActive() && (!next || timer->Deadline() < *next))
            next = timer->Deadline();
    return next;
}

void DeadlineTimers::FireExpired(MeterSession& Session)
{
    using Tick = void (MeterSession::*)();
    const std::array<std::pair<DeadlineTimer*, Tick>, 3> timers = {{
        {&FIdle, &MeterSession::IdleTimerTick},
        {&FWatchdog, &MeterSession::WatchdogTick},
        {&FHandshake, &MeterSession::HandshakeTimerTick},
    }};
    for (;;) {
        const std::pair<DeadlineTimer*, Tick>* earliest = nullptr;
        for (const auto& entry : timers)
            if (entry.first->Expired() && (!earliest || entry.first->Deadline() < earliest->first->Deadline()))
                earliest = &entry;
        if (!earliest)
            return;
        earliest->first->Start(); // the next interval counts from now, as a window timer's does
        (Session.*(earliest->second))();
    }
}
