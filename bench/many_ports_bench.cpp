// The cost of many ports on one main loop: N = 1, 8 and 64 pseudo-terminal
// ports, each answering in OnRxChar with ReadText and WriteText, served by
//  - the Qt adapter (Qt's event loop waits for the component),
//  - the component's own queue as main loop,
//  - the thread route (an event thread per port hands over to the main thread),
// each beside a raw epoll loop that serves the same N lines in the same pass.
// The far end, on a thread (and CPU) of its own, keeps one or eight one-byte
// pings in flight, spread over the ports in turn. Per echo: the subject's CPU
// time and context switches (the process's, less the far end's thread). Per
// open port: heap in use. Per second of an open, silent set of ports:
// wake-ups (context switches less those of the same wait with no port).
// Figures, not a test: nothing here fails on time.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <malloc.h>
#include <memory>
#include <pthread.h>
#include <pty.h>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/framework/MainThreadQueue.h>

#include "BenchSupport.h"

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;

int gEchoes = 10000;
int gIdleMs = 1000;
constexpr std::array<int, 3> kPortCounts = {1, 8, 64};
constexpr std::array<int, 2> kInFlight = {1, 8};

// ---- Lines, the far end ---------------------------------------------------------------------

using LineSet = std::vector<std::unique_ptr<Pty>>;

LineSet MakeLines(int N)
{
    LineSet lines;
    for (int i = 0; i < N; ++i)
        lines.push_back(std::make_unique<Pty>());
    return lines;
}

// Keeps InFlight one-byte pings out, to the lines in turn, until Total have
// come back (or the line stays silent for ten seconds).
void PingFarEnd(const LineSet& Lines, int InFlight, int Total)
{
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    for (size_t i = 0; i < Lines.size(); ++i) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = i;
        epoll_ctl(epoll, EPOLL_CTL_ADD, Lines[i]->Master, &event);
    }
    int sent = 0;
    int back = 0;
    size_t next = 0;
    auto ping = [&] {
        const char byte = 'p';
        while (write(Lines[next]->Master, &byte, 1) != 1) {
        }
        next = (next + 1) % Lines.size();
        ++sent;
    };
    while (sent < InFlight && sent < Total)
        ping();
    std::array<epoll_event, 64> events{};
    char buffer[256];
    while (back < Total) {
        const int n = epoll_wait(epoll, events.data(), static_cast<int>(events.size()), 10000);
        if (n <= 0) {
            std::fprintf(stderr, "the echoes stopped at %d of %d\n", back, Total);
            break;
        }
        for (int i = 0; i < n; ++i) {
            const ssize_t got = read(Lines[events[static_cast<size_t>(i)].data.u64]->Master, buffer, sizeof buffer);
            for (ssize_t k = 0; k < got; ++k, ++back)
                if (sent < Total)
                    ping();
        }
    }
    close(epoll);
}

// ---- The subjects ---------------------------------------------------------------------------

enum Route { kRaw, kQtAdapter, kOwnQueue, kThreadRoute, kRoutes };
const char* const kRouteNames[kRoutes] = {"raw epoll loop", "Velt, Qt adapter", "Velt, own queue",
                                          "Velt, thread route"};

void RawEpollLoop(const LineSet& Lines, int Total)
{
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    for (const auto& line : Lines) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = line->Slave;
        epoll_ctl(epoll, EPOLL_CTL_ADD, line->Slave, &event);
    }
    std::array<epoll_event, 64> events{};
    char buffer[4096];
    for (int got = 0; got < Total;) {
        const int n = epoll_wait(epoll, events.data(), static_cast<int>(events.size()), 10000);
        if (n <= 0)
            break;
        for (int i = 0; i < n; ++i) {
            const int fd = events[static_cast<size_t>(i)].data.fd;
            const ssize_t r = read(fd, buffer, sizeof buffer);
            if (r <= 0)
                continue;
            got += static_cast<int>(r);
            (void)!write(fd, buffer, static_cast<size_t>(r));
        }
    }
    close(epoll);
}

void ChooseLoop(Route R) { ChooseMainLoop(R == kQtAdapter, R == kOwnQueue); }

// N ports, each echoing what it receives, all with their handlers on the main thread.
struct Ports {
    std::vector<std::unique_ptr<TComPort>> All;
    std::atomic<int> Echoed{0};
    std::function<void()> OnEcho;
    std::string Text;

    explicit Ports(const LineSet& Lines)
    {
        for (const auto& line : Lines) {
            auto port = std::make_unique<TComPort>(nullptr);
            port->SetPort(line->SlavePath);
            port->SetSyncMethod(smThreadSync);
            TComPort* self = port.get();
            port->OnRxChar = [this, self](TComponent*, int32_t Count) {
                Echoed += self->ReadText(Text, Count);
                self->WriteText(Text);
                if (OnEcho)
                    OnEcho();
            };
            All.push_back(std::move(port));
        }
    }
    void Open()
    {
        for (auto& port : All)
            port->Open();
    }
};

// Runs the route's main loop until Done holds (or, with Done empty, for Ms).
void RunLoop(Route R, Ports* Subject, const std::function<bool()>& Done, int Ms)
{
    MainThreadQueue& queue = MainThreadQueue::Instance();
    if (R == kQtAdapter) {
        QEventLoop loop;
        if (Subject != nullptr)
            Subject->OnEcho = [&] {
                if (Done())
                    loop.quit();
            };
        else
            QTimer::singleShot(Ms, &loop, &QEventLoop::quit);
        loop.exec();
        return;
    }
    if (Subject != nullptr)
        queue.WaitWhileServing(Done);
    else
        queue.ServeUntil([] { return false; }, Clock::now() + std::chrono::milliseconds(Ms));
}

struct EchoFigures {
    double CpuPerEcho = 0, SwitchesPerEcho = 0;
};

EchoFigures RunEcho(Route R, int N, int InFlight)
{
    LineSet lines = MakeLines(N);
    std::unique_ptr<Ports> ports;
    if (R != kRaw) {
        ChooseLoop(R);
        ports = std::make_unique<Ports>(lines);
        ports->Open();
    }
    const Usage used = SubjectUsage([&] { PingFarEnd(lines, InFlight, gEchoes); },
                                    [&] {
                                        if (R == kRaw)
                                            RawEpollLoop(lines, gEchoes);
                                        else
                                            RunLoop(
                                                R, ports.get(), [&] { return ports->Echoed.load() >= gEchoes; }, 0);
                                    });
    ports.reset(); // closing discards nothing: every echo is back
    return {used.CpuMicroseconds / gEchoes, static_cast<double>(used.Switches) / gEchoes};
}

size_t HeapInUse() { return mallinfo2().uordblks; }

struct RestFigures {
    double HeapPerPortKiB = 0, WakeupsPerSecond = 0;
};

// Heap per open port, and wake-ups of the route's loop while N open ports
// stay silent (less the same wait without ports).
RestFigures AtRest(Route R, int N)
{
    auto idleSwitches = [R](const LineSet* Open) {
        const Usage before = UsageOf(RUSAGE_SELF);
        if (R == kRaw) {
            const int epoll = epoll_create1(EPOLL_CLOEXEC);
            for (size_t i = 0; Open != nullptr && i < Open->size(); ++i) {
                epoll_event event{};
                event.events = EPOLLIN;
                epoll_ctl(epoll, EPOLL_CTL_ADD, (*Open)[i]->Slave, &event);
            }
            epoll_event event{};
            epoll_wait(epoll, &event, 1, gIdleMs);
            close(epoll);
        } else {
            RunLoop(R, nullptr, {}, gIdleMs);
        }
        return (UsageOf(RUSAGE_SELF) - before).Switches;
    };
    LineSet lines = MakeLines(N);
    if (R != kRaw)
        ChooseLoop(R);
    const long without = idleSwitches(nullptr);
    RestFigures figures;
    const size_t heapBefore = HeapInUse();
    std::unique_ptr<Ports> ports;
    if (R != kRaw) {
        ports = std::make_unique<Ports>(lines);
        ports->Open();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // threads into their waits
    figures.HeapPerPortKiB = static_cast<double>(HeapInUse() - heapBefore) / 1024.0 / N;
    const long with = idleSwitches(&lines);
    figures.WakeupsPerSecond = static_cast<double>(std::max(0L, with - without)) * 1000.0 / gIdleMs;
    return figures;
}

// ---- Report ---------------------------------------------------------------------------------

double Median(const std::vector<double>& Values) { return Quantile(Values, 0.5); }

struct Cell {
    std::vector<double> Cpu, CpuRatio, Switches;
};

} // namespace

int main(int argc, char** argv)
{
    const Options options = ReadOptions(argc, argv, 3, 1);
    const int passes = options.Passes;
    if (options.Quick) {
        gEchoes = 3000;
        gIdleMs = 500;
    }
    // One arena: the heap figure then sees what the event threads allocate too.
    mallopt(M_ARENA_MAX, 1);
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    QCoreApplication app(argc, argv);
    PrepareSubject();

    // [in flight][route][N]
    Cell cells[kInFlight.size()][kRoutes][kPortCounts.size()];
    for (int pass = 0; pass < passes; ++pass)
        for (size_t f = 0; f < kInFlight.size(); ++f)
            for (size_t n = 0; n < kPortCounts.size(); ++n) {
                EchoFigures figures[kRoutes];
                for (int r = 0; r < kRoutes; ++r)
                    figures[r] = RunEcho(static_cast<Route>(r), kPortCounts[n], kInFlight[f]);
                for (int r = 0; r < kRoutes; ++r) {
                    Cell& cell = cells[f][r][n];
                    cell.Cpu.push_back(figures[r].CpuPerEcho);
                    cell.CpuRatio.push_back(figures[r].CpuPerEcho / figures[kRaw].CpuPerEcho);
                    cell.Switches.push_back(figures[r].SwitchesPerEcho);
                }
            }

    std::printf(
        "Many ports on one main loop: %d one-byte echoes per figure, median of %d pass(es);\n"
        "ratio: to the raw epoll loop serving the same N lines in the same pass.\n",
        gEchoes, passes);
    for (size_t f = 0; f < kInFlight.size(); ++f) {
        std::printf("\n%d ping(s) in flight: CPU per echo in us (ratio to raw) | context switches per echo\n",
                    kInFlight[f]);
        std::printf("  %-20s", "");
        for (int n : kPortCounts)
            std::printf("  %-16s", ("N=" + std::to_string(n)).c_str());
        std::printf("  growth 1->64 | switches N=1 / 8 / 64\n");
        for (int r = 0; r < kRoutes; ++r) {
            std::printf("  %-20s", kRouteNames[r]);
            for (size_t n = 0; n < kPortCounts.size(); ++n)
                std::printf("  %6.1f (%5.2fx)", Median(cells[f][r][n].Cpu), Median(cells[f][r][n].CpuRatio));
            std::printf("  %9.2fx   |", Median(cells[f][r][2].Cpu) / Median(cells[f][r][0].Cpu));
            for (size_t n = 0; n < kPortCounts.size(); ++n)
                std::printf(" %5.2f", Median(cells[f][r][n].Switches));
            std::printf("\n");
        }
    }
    std::printf("\nAt rest with N=%d open ports: heap per port (KiB) | wake-ups per second\n", kPortCounts.back());
    for (int r = 0; r < kRoutes; ++r) {
        const RestFigures rest = AtRest(static_cast<Route>(r), kPortCounts.back());
        std::printf("  %-20s  %8.1f | %6.1f\n", kRouteNames[r], rest.HeapPerPortKiB, rest.WakeupsPerSecond);
    }
    MainThreadQueue::Instance().SetLoopWatcher(nullptr);
    return 0;
}
