#include "LocalTime.h"

#include <ctime>

// Called on the one thread that runs the session, so the shared result of
// std::localtime is safe here.
CalendarTime LocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (!local)
        return {};
    return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec};
}
