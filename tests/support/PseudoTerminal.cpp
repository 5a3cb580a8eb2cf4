#include "PseudoTerminal.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

void MakeRaw(int Fd)
{
    termios t{};
    if (tcgetattr(Fd, &t) != 0)
        throw std::runtime_error("tcgetattr on pseudo-terminal failed");
    cfmakeraw(&t);
    if (tcsetattr(Fd, TCSANOW, &t) != 0)
        throw std::runtime_error("tcsetattr on pseudo-terminal failed");
}

int MillisecondsLeft(Clock::time_point End)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(End - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
}

} // namespace

PseudoTerminal::PseudoTerminal()
{
    char name[PATH_MAX] = {};
    if (openpty(&FMaster, &FSlave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    FSlavePath = name;
    fcntl(FMaster, F_SETFD, FD_CLOEXEC);
    fcntl(FSlave, F_SETFD, FD_CLOEXEC);
    MakeRaw(FMaster);
    MakeRaw(FSlave);
    fcntl(FMaster, F_SETFL, fcntl(FMaster, F_GETFL) | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal()
{
    CloseMaster();
    if (FSlave >= 0)
        close(FSlave);
}

void PseudoTerminal::WriteToPort(const std::string& Bytes)
{
    size_t sent = 0;
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (sent < Bytes.size()) {
        const ssize_t n = write(FMaster, Bytes.data() + sent, Bytes.size() - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            throw std::runtime_error("write to pseudo-terminal master failed");
        pollfd p{FMaster, POLLOUT, 0};
        if (poll(&p, 1, MillisecondsLeft(end)) == 0)
            throw std::runtime_error("pseudo-terminal master stayed full");
    }
}

std::string PseudoTerminal::ReadFromPort(size_t N, std::chrono::milliseconds Deadline)
{
    std::string received;
    const auto end = Clock::now() + Deadline;
    while (received.size() < N) {
        char buffer[4096];
        const ssize_t n = read(FMaster, buffer, std::min(sizeof buffer, N - received.size()));
        if (n > 0) {
            received.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
        pollfd p{FMaster, POLLIN, 0};
        if (poll(&p, 1, MillisecondsLeft(end)) == 0)
            break;
    }
    return received;
}

void PseudoTerminal::CloseMaster()
{
    if (FMaster >= 0) {
        close(FMaster);
        FMaster = -1;
    }
}

bool WaitUntil(const std::function<bool()>& Condition, std::chrono::milliseconds Deadline)
{
    const auto end = Clock::now() + Deadline;
    while (!Condition()) {
        if (Clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
