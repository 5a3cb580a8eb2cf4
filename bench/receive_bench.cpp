// Receive figures of the serial-port component on a pseudo-terminal, each
// beside a plain poll()/read() loop measured in the same run:
//  - latency: one byte written at the master until OnRxChar runs on the main
//    thread inside a Qt event loop (median and 99th percentile);
//  - throughput: a stream of bytes through OnRxChar + ReadText.
// Figures, not a test: nothing here fails on time.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/ui/QtHandOver.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLatencySamples = 2000;
constexpr int kWarmUp = 50;
constexpr size_t kStreamBytes = 32u << 20;

// A raw pseudo-terminal pair; the master is non-blocking.
struct Pty {
    int Master = -1;
    int Slave = -1;
    std::string SlavePath;
    Pty()
    {
        char name[256] = {};
        if (openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        SlavePath = name;
        for (int fd : {Master, Slave}) {
            termios t{};
            tcgetattr(fd, &t);
            cfmakeraw(&t);
            tcsetattr(fd, TCSANOW, &t);
        }
        fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
    }
    ~Pty()
    {
        close(Master);
        close(Slave);
    }
};

double Microseconds(Clock::duration D) { return std::chrono::duration<double, std::micro>(D).count(); }

struct Spread {
    double Median = 0;
    double P99 = 0;
};

Spread SpreadOf(std::vector<double> Samples)
{
    std::sort(Samples.begin(), Samples.end());
    auto at = [&](double q) { return Samples[static_cast<size_t>(q * static_cast<double>(Samples.size() - 1))]; };
    return {at(0.5), at(0.99)};
}

// Writes Total bytes to Fd as fast as the line takes them.
void Stream(int Fd, size_t Total)
{
    const std::string chunk(4096, 'x');
    for (size_t sent = 0; sent < Total;) {
        pollfd room{Fd, POLLOUT, 0};
        poll(&room, 1, -1);
        const ssize_t n = write(Fd, chunk.data(), std::min(chunk.size(), Total - sent));
        if (n > 0)
            sent += static_cast<size_t>(n);
    }
}

std::vector<double> PlainLatency()
{
    Pty line;
    std::vector<double> samples;
    char byte = 0;
    for (int i = 0; i < kWarmUp + kLatencySamples; ++i) {
        const auto start = Clock::now();
        (void)!write(line.Master, "x", 1);
        pollfd ready{line.Slave, POLLIN, 0};
        poll(&ready, 1, -1);
        (void)!read(line.Slave, &byte, 1);
        if (i >= kWarmUp)
            samples.push_back(Microseconds(Clock::now() - start));
    }
    return samples;
}

std::vector<double> PortLatency()
{
    Pty line;
    TComPort port(nullptr);
    port.SetPort(line.SlavePath);
    std::vector<double> samples;
    QEventLoop loop;
    int received = 0;
    Clock::time_point start;
    const std::function<void()> writeOne = [&] {
        start = Clock::now();
        (void)!write(line.Master, "x", 1);
    };
    port.OnRxChar = [&](TComponent*, int32_t Count) {
        const auto arrived = Clock::now();
        std::string text;
        port.ReadText(text, Count);
        if (++received > kWarmUp)
            samples.push_back(Microseconds(arrived - start));
        if (received < kWarmUp + kLatencySamples)
            QTimer::singleShot(0, writeOne);  // after the hand-over has returned
        else
            loop.quit();
    };
    port.Open();
    QTimer::singleShot(0, writeOne);
    loop.exec();
    port.Close();
    return samples;
}

double PlainThroughput()
{
    Pty line;
    fcntl(line.Slave, F_SETFL, fcntl(line.Slave, F_GETFL) | O_NONBLOCK);
    std::vector<char> buffer(64 * 1024);
    const auto start = Clock::now();
    std::thread farEnd([&] { Stream(line.Master, kStreamBytes); });
    for (size_t total = 0; total < kStreamBytes;) {
        pollfd ready{line.Slave, POLLIN, 0};
        poll(&ready, 1, -1);
        const ssize_t n = read(line.Slave, buffer.data(), buffer.size());
        if (n > 0)
            total += static_cast<size_t>(n);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    farEnd.join();
    return static_cast<double>(kStreamBytes) / (1 << 20) / seconds;
}

struct PortRate {
    double MiBPerSecond = 0;
    double BytesPerCall = 0;
};

PortRate PortThroughput()
{
    Pty line;
    TComPort port(nullptr);
    port.SetPort(line.SlavePath);
    QEventLoop loop;
    size_t total = 0;
    size_t calls = 0;
    std::string text;
    port.OnRxChar = [&](TComponent*, int32_t Count) {
        ++calls;
        total += static_cast<size_t>(port.ReadText(text, Count));
        if (total >= kStreamBytes)
            loop.quit();
    };
    port.Open();
    const auto start = Clock::now();
    std::thread farEnd([&] { Stream(line.Master, kStreamBytes); });
    loop.exec();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    farEnd.join();
    port.Close();
    return {static_cast<double>(kStreamBytes) / (1 << 20) / seconds,
            static_cast<double>(total) / static_cast<double>(calls)};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    InstallQtHandOver();

    const Spread plain = SpreadOf(PlainLatency());
    const Spread port = SpreadOf(PortLatency());
    const double plainRate = PlainThroughput();
    const PortRate portRate = PortThroughput();

    std::printf("receive path on a pseudo-terminal (%d latency samples, %zu MiB streamed)\n", kLatencySamples,
                kStreamBytes >> 20);
    std::printf("%-22s %14s %14s %8s\n", "", "port+Qt loop", "poll()/read()", "ratio");
    std::printf("%-22s %14.1f %14.1f %8.2f\n", "latency median (us)", port.Median, plain.Median,
                port.Median / plain.Median);
    std::printf("%-22s %14.1f %14.1f %8.2f\n", "latency p99 (us)", port.P99, plain.P99, port.P99 / plain.P99);
    std::printf("%-22s %14.1f %14.1f %8.2f\n", "throughput (MiB/s)", portRate.MiBPerSecond, plainRate,
                portRate.MiBPerSecond / plainRate);
    std::printf("bytes per OnRxChar while streaming: %.0f\n", portRate.BytesPerCall);
    return 0;
}
