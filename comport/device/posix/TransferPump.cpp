#include "TransferPump.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <system_error>

#include "WakeDescriptor.h"

namespace device {

namespace {

constexpr short kHangupEvents = POLLHUP | POLLERR | POLLNVAL;

int PollTimeout(const std::optional<std::chrono::steady_clock::time_point>& Deadline)
{
    if (!Deadline)
        return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*Deadline - std::chrono::steady_clock::now()).count();
    return static_cast<int>(std::clamp<int64_t>(left, 0, INT_MAX));
}

} // namespace

TransferPump::TransferPump(int DeviceFd, std::function<PumpWait()> Round, std::function<void()> Hangup)
    : FDeviceFd(DeviceFd), FRound(std::move(Round)), FHangup(std::move(Hangup))
{
}

TransferPump::~TransferPump() { Stop(); }

int TransferPump::Start(int WakeFd)
{
    std::lock_guard lock(FStartMutex);
    if (FThread.joinable())
        return 0;
    FWakeFd = WakeFd;
    try {
        FThread = std::thread([this] { Run(); });
    } catch (const std::system_error& e) {
        return e.code().value();
    }
    return 0;
}

void TransferPump::Stop()
{
    std::lock_guard lock(FStartMutex);
    if (!FThread.joinable())
        return;
    FQuit = true;
    platform::SignalWake(FWakeFd);
    FThread.join();
}

// The wake-up is taken before the round, so news arriving during the round
// makes the next poll return at once instead of being lost.
void TransferPump::Run()
{
    while (!FQuit.load()) {
        const PumpWait wait = FRound();
        if (WaitForTransferNews(FWakeFd, FDeviceFd, wait))
            FHangup();
    }
}

bool WaitForTransferNews(int WakeFd, int DeviceFd, const PumpWait& Wait)
{
    pollfd watched[2] = {{WakeFd, POLLIN, 0}, {DeviceFd, Wait.DeviceEvents, 0}};
    const nfds_t count = Wait.DeviceEvents != 0 ? 2 : 1;
    if (poll(watched, count, PollTimeout(Wait.Deadline)) <= 0)
        return false; // a deadline passed, or a signal: the next round decides
    if (watched[0].revents & POLLIN)
        platform::ConsumeWake(WakeFd);
    return count == 2 && (watched[1].revents & kHangupEvents) != 0;
}

} // namespace device
