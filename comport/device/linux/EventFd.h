#pragma once
// The eventfd as a wake-up: one side signals it, the waiter polls it readable
// and takes the signal. Both calls retry an interrupted system call and
// ignore a full or empty counter, which cannot lose a wake-up.
namespace device {

// Adds one to the counter: the descriptor polls readable until consumed.
void SignalEventFd(int Fd);
// Empties the counter: the descriptor polls unreadable again.
void ConsumeEventFd(int Fd);

} // namespace device
