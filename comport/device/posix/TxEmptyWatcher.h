#pragma once
// A helper thread that, after a write was queued, waits in tcdrain until the
// last byte has left the transmitter and then reports kEvTxEmpty: poll() only
// tells that there is room in the kernel's buffer, not that the line is idle.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace device {

class TxEmptyWatcher {
public:
    TxEmptyWatcher(int Fd, std::function<void()> OnEmpty);
    // Interrupts a drain in progress and joins the thread.
    ~TxEmptyWatcher();
    TxEmptyWatcher(const TxEmptyWatcher&) = delete;
    TxEmptyWatcher& operator=(const TxEmptyWatcher&) = delete;

    // A write was queued: report when the output has drained.
    void Request();

private:
    void Run();
    bool WaitForRequest();

    int FFd;
    std::function<void()> FOnEmpty;
    std::mutex FMutex;
    std::condition_variable FChanged;
    bool FRequested = false;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FFinished{false};
    std::thread FThread;
};

} // namespace device
