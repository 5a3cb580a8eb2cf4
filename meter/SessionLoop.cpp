#include "SessionLoop.h"

#include "DeadlineTimers.h"
#include "MeterSession.h"
#include <velt/comport/framework/MainThreadQueue.h>

bool SessionLoop::RunUntil(const std::function<bool()>& Done)
{
    MainThreadQueue& queue = MainThreadQueue::Instance();
    while (!Done()) {
        const auto deadline = FTimers.NextDeadline();
        if (!deadline)
            return false;
        // A hand-over may start, restart or stop a timer: serving stops as
        // soon as the earliest deadline is another one.
        queue.ServeUntil([&] { return Done() || FTimers.NextDeadline() != deadline; }, *deadline);
        FTimers.FireExpired(FSession);
    }
    return true;
}
