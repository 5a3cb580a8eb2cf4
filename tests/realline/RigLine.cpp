#include "realline/RigLine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "support/PseudoTerminal.h"

namespace {

const char* kControlVariable = "VELT_RIG_CONTROL";
// The host waits for a pulled adapter's removal and for metersim to start;
// the guest runs under emulation on a shared machine.
constexpr auto kAnswerDeadline = std::chrono::seconds(60);

std::string Hex(const std::string& Bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : Bytes) {
        text.push_back(digits[c >> 4]);
        text.push_back(digits[c & 15]);
    }
    return text;
}

std::string Unhex(const std::string& Text)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < Text.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(Text.substr(i, 2), nullptr, 16)));
    return bytes;
}

// The control line, raw, opened once for the whole test program.
int ControlFd()
{
    static const int fd = [] {
        const int opened = open(std::getenv(kControlVariable), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        if (opened >= 0 && tcgetattr(opened, &t) == 0) {
            cfmakeraw(&t);
            cfsetspeed(&t, B115200);
            tcsetattr(opened, TCSANOW, &t);
            tcflush(opened, TCIOFLUSH);
        }
        return opened;
    }();
    return fd;
}

std::string ReadAnswerLine(int Fd)
{
    std::string line;
    const auto end = std::chrono::steady_clock::now() + kAnswerDeadline;
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{Fd, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0)
            continue;
        char c = 0;
        if (read(Fd, &c, 1) != 1)
            continue;
        if (c == '\n')
            return line;
        line.push_back(c);
    }
    return "ERR no answer from the host";
}

// The descriptor this process already has on Device (the port's own), or -1.
// Another open would change the line: every open of a tty raises DTR and RTS.
int OpenDescriptorOf(const std::string& Device)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == Device)
            return std::stoi(entry.path().filename().string());
    }
    return -1;
}

// Runs Action on the port's descriptor, or on one of its own while no port
// has the device open; false when there is none or Action fails.
bool OnDevice(const std::string& Device, const std::function<bool(int)>& Action)
{
    const int shared = OpenDescriptorOf(Device);
    if (shared >= 0)
        return Action(shared);
    const int own = open(Device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (own < 0)
        return false;
    const bool done = Action(own);
    close(own);
    return done;
}

} // namespace

std::string RigName(RigLineKind Line) { return Line == RigLineKind::Uart ? "uart" : "usb"; }

std::string RigDevice(RigLineKind Line)
{
    const char* variable = Line == RigLineKind::Uart ? "VELT_RIG_UART" : "VELT_RIG_FTDI";
    const char* path = std::getenv(variable);
    return path != nullptr ? path : "";
}

std::string RigMissing()
{
    if (std::getenv(kControlVariable) == nullptr)
        return "needs the real-line rig (tools/realline/run.sh): VELT_RIG_CONTROL is not set";
    if (ControlFd() < 0)
        return std::string("the rig's control line ") + std::getenv(kControlVariable) + " cannot be opened";
    return "";
}

std::string RigAsk(const std::string& Request)
{
    const int fd = ControlFd();
    const std::string line = Request + "\n";
    if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        ADD_FAILURE() << "cannot write to the rig's control line";
        return "";
    }
    const std::string answer = ReadAnswerLine(fd);
    if (answer.rfind("OK", 0) != 0) {
        ADD_FAILURE() << "the rig refused \"" << Request << "\": " << answer;
        return "";
    }
    return Unhex(answer.size() > 3 ? answer.substr(3) : "");
}

void RigSend(RigLineKind Line, const std::string& Bytes) { RigAsk("SEND " + RigName(Line) + " " + Hex(Bytes)); }

std::string RigTake(RigLineKind Line, size_t Count, int WaitMs)
{
    return RigAsk("TAKE " + RigName(Line) + " " + std::to_string(Count) + " " + std::to_string(WaitMs));
}

void RigUnplug() { RigAsk("UNPLUG"); }

void RigPlug()
{
    RigAsk("PLUG");
    const std::string device = RigDevice(RigLineKind::Ftdi);
    // The node comes back once the adapter is enumerated and its driver bound.
    EXPECT_TRUE(WaitUntil(
        [&] {
            const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                close(fd);
            return fd >= 0;
        },
        std::chrono::seconds(30)))
        << device << " did not come back";
}

int ModemBits(const std::string& Device)
{
    int bits = 0;
    return OnDevice(Device, [&](int Fd) { return ioctl(Fd, TIOCMGET, &bits) == 0; }) ? bits : -1;
}

void SetModemBits(const std::string& Device, int Bits, bool On)
{
    EXPECT_TRUE(OnDevice(Device, [&](int Fd) { return ioctl(Fd, On ? TIOCMBIS : TIOCMBIC, &Bits) == 0; })) << Device;
}

device::Termios2 DriverLine(const std::string& Device)
{
    device::Termios2 t{};
    if (!OnDevice(Device, [&](int Fd) { return device::ReadTermios2(Fd, t) == 0; }))
        t = device::Termios2{};
    return t;
}
