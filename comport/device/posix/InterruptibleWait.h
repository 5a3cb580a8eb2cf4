#pragma once
// Stopping a helper thread that is blocked inside an ioctl (TIOCMIWAIT,
// tcdrain). Such a call wakes for a signal only: a signal whose handler does
// nothing, installed without SA_RESTART, makes it return EINTR, after which
// the helper sees its stop flag. close() of the descriptor would not wake it.
#include <atomic>
#include <thread>

namespace device {

// Installs the do-nothing handler once per process.
void InstallInterruptSignal();

// Signals Thread until its body has set Finished, then joins it. The signal
// is repeated because one sent just before the body entered its blocking call
// would be lost; in the usual case the first one ends it.
void InterruptAndJoin(std::thread& Thread, const std::atomic<bool>& Finished);

} // namespace device
