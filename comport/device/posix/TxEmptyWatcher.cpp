#include "TxEmptyWatcher.h"

#include <cerrno>
#include <termios.h>

#include "InterruptibleWait.h"

namespace device {

TxEmptyWatcher::TxEmptyWatcher(int Fd, std::function<void()> OnEmpty) : FFd(Fd), FOnEmpty(std::move(OnEmpty))
{
    InstallInterruptSignal();
    FThread = std::thread([this] { Run(); });
}

TxEmptyWatcher::~TxEmptyWatcher()
{
    {
        std::lock_guard lock(FMutex);
        FStop = true;
    }
    FChanged.notify_all();
    InterruptAndJoin(FThread, FFinished);
}

void TxEmptyWatcher::Request()
{
    {
        std::lock_guard lock(FMutex);
        FRequested = true;
    }
    FChanged.notify_all();
}

bool TxEmptyWatcher::WaitForRequest()
{
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FRequested || FStop; });
    FRequested = false;
    return !FStop;
}

void TxEmptyWatcher::Run()
{
    while (WaitForRequest()) {
        int result;
        while ((result = tcdrain(FFd)) != 0 && errno == EINTR && !FStop) {
        }
        if (result == 0 && !FStop)
            FOnEmpty();
    }
    FFinished = true;
}

} // namespace device
