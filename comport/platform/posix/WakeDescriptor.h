#pragma once
// A descriptor as a wake-up: one side signals it, the waiter polls it
// readable and takes the signal. Both calls retry an interrupted system call
// and ignore a full or empty counter, which cannot lose a wake-up. On Linux
// it is an eventfd.
#include "UniqueFd.h"

namespace platform {

// A new wake-up descriptor (non-blocking, closed on exec), signalled or not;
// invalid, with errno set, when none can be made.
UniqueFd NewWakeDescriptor(bool Signalled = false);
// Adds one to the counter: the descriptor polls readable until consumed.
void SignalWake(int Fd);
// Empties the counter: the descriptor polls unreadable again.
void ConsumeWake(int Fd);

} // namespace platform
