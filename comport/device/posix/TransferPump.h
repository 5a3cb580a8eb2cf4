#pragma once
// The one helper thread of a device that moves its pending transfers on while
// nobody awaits them. It starts with the first transfer that goes past its
// first step and then sleeps in poll() over its wake-up descriptor and, while a
// transfer waits for the line, the device itself, until the earliest of the
// transfers' deadlines. With nothing pending it waits on the wake-up descriptor alone.
// The descriptor is the caller's, which anyone may signal to wake the pump.
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace device {

// What a round of the pump leaves to wait for.
struct PumpWait {
    short DeviceEvents = 0; // POLLIN, POLLOUT: the line's readiness a transfer waits for
    std::optional<std::chrono::steady_clock::time_point> Deadline;
};

// Waits in poll() over the wake-up descriptor WakeFd and, when Wait asks, the
// line DeviceFd, until Wait's deadline, and takes a wake-up that came. True
// when the line reported a hang-up or an error.
bool WaitForTransferNews(int WakeFd, int DeviceFd, const PumpWait& Wait);

class TransferPump {
public:
    // Round steps every pending transfer and says what to wait for next;
    // Hangup is told when the line reports a hang-up or an error.
    TransferPump(int DeviceFd, std::function<PumpWait()> Round, std::function<void()> Hangup);
    ~TransferPump();
    TransferPump(const TransferPump&) = delete;
    TransferPump& operator=(const TransferPump&) = delete;

    // Starts the thread, waking on WakeFd, unless it runs; 0 or the error number.
    int Start(int WakeFd);
    // Ends and joins the thread.
    void Stop();

private:
    void Run();

    const int FDeviceFd;
    const std::function<PumpWait()> FRound;
    const std::function<void()> FHangup;
    std::mutex FStartMutex;
    int FWakeFd = -1;
    std::atomic<bool> FQuit{false};
    std::thread FThread;
};

} // namespace device
