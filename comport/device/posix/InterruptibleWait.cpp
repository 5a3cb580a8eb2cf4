#include "InterruptibleWait.h"

#include <chrono>
#include <csignal>
#include <mutex>
#include <pthread.h>

namespace device {

namespace {

int InterruptSignal() { return SIGRTMIN + 3; }

void IgnoreInterrupt(int) {}

} // namespace

void InstallInterruptSignal()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_handler = IgnoreInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: the blocked call must return EINTR
        sigaction(InterruptSignal(), &action, nullptr);
    });
}

void InterruptAndJoin(std::thread& Thread, const std::atomic<bool>& Finished)
{
    if (!Thread.joinable())
        return;
    auto pause = std::chrono::milliseconds(1);
    while (!Finished.load()) {
        pthread_kill(Thread.native_handle(), InterruptSignal());
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    Thread.join();
}

} // namespace device
