#pragma once
// A helper thread blocked in TIOCMIWAIT that reports modem-line changes
// (kEvCts, kEvDsr, kEvRlsd, kEvRing): poll() on a tty never reports them.
// Started only for a line that has modem signals (not a pseudo-terminal).
// The bodies are the system's: linux/ModemLineWatcher.cpp; a system without
// TIOCMIWAIT would look at the lines on its own wake-ups instead.
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace device {

class ModemLineWatcher {
public:
    using Report = std::function<void(uint32_t Events)>;

    ModemLineWatcher(int Fd, Report OnChange);
    // Interrupts the wait and joins the thread.
    ~ModemLineWatcher();
    ModemLineWatcher(const ModemLineWatcher&) = delete;
    ModemLineWatcher& operator=(const ModemLineWatcher&) = delete;

private:
    void Run();
    uint32_t ChangesSinceLastLook();

    int FFd;
    Report FOnChange;
    int FLastLines = 0;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FFinished{false};
    std::thread FThread;
};

} // namespace device
