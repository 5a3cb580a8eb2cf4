#pragma once
// The computer's clock in local time, as the meter's clock is set.
#include "ClockHandshake.h"

CalendarTime LocalTimeNow();
