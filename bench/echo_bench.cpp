// The event path of the serial-port component on one pseudo-terminal, each
// figure beside a plain one-thread poll()/read() loop measured in the same
// run, in several interleaved passes:
//  - echo: the far end sends one byte and waits for it to come back; the
//    subject answers from OnRxChar with ReadText and WriteText, all ten events
//    on. Per echo: median and 99th-percentile round trip, the subject's CPU
//    time and context switches (getrusage of the process less the far end's
//    thread);
//  - stream: the far end sends 16 MiB as fast as the line takes them; MiB/s
//    and the subject's CPU ms per MiB;
//  - idle: wake-ups per second of an open port nobody talks to;
//  - the peak resident size of a bare echo program (bare_echo).
// Subjects: the plain loop; a bare thread that hands each wake-up to the main
// thread and waits (the classic design); the component with the Qt adapter,
// with its own queue as main loop, with smNone (an event thread), and
// without events, reading in a loop with ReadBytes.
// The far end runs on its own CPU where there are two. Figures, not a test:
// nothing here fails on time.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <sched.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/framework/MainThreadQueue.h>

#include "BenchSupport.h"

extern char** environ;

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;

int gEchoes = 2000;
constexpr int kWarmUp = 100;
size_t gStreamBytes = 16u << 20;

// ---- The far end ---------------------------------------------------------------------------

double Microseconds(Clock::duration D) { return std::chrono::duration<double, std::micro>(D).count(); }

// One byte out, wait for it to come back; the round trips after the warm-up.
// A program that ends after its last echo may discard it unsent: with
// WaitForLast false the last one is not waited for.
std::vector<double> EchoFromFarEnd(int Master, bool WaitForLast = true)
{
    std::vector<double> trips;
    trips.reserve(static_cast<size_t>(gEchoes));
    char byte = 'x';
    for (int i = 0; i < kWarmUp + gEchoes; ++i) {
        const auto start = Clock::now();
        while (write(Master, &byte, 1) != 1) {
        }
        if (!WaitForLast && i + 1 == kWarmUp + gEchoes)
            break;
        for (;;) {
            pollfd ready{Master, POLLIN, 0};
            poll(&ready, 1, -1);
            if (read(Master, &byte, 1) == 1)
                break;
        }
        if (i >= kWarmUp)
            trips.push_back(Microseconds(Clock::now() - start));
    }
    return trips;
}

void StreamFromFarEnd(int Master)
{
    const std::string chunk(4096, 's');
    for (size_t sent = 0; sent < gStreamBytes;) {
        pollfd room{Master, POLLOUT, 0};
        poll(&room, 1, -1);
        const ssize_t n = write(Master, chunk.data(), std::min(chunk.size(), gStreamBytes - sent));
        if (n > 0)
            sent += static_cast<size_t>(n);
    }
}

// ---- The subjects ---------------------------------------------------------------------------

enum Subject { kPlain, kBareThread, kQtAdapter, kOwnQueue, kNoneThread, kBlockingReads, kSubjects };
const char* const kNames[kSubjects] = {"plain poll/read loop", "bare thread + hand-over",
                                       "Velt, Qt adapter",     "Velt, own queue",
                                       "Velt, smNone",         "Velt, blocking reads"};

// Plain: one thread, poll() then read() and (for the echo) write().
void PlainLoop(int Slave, size_t Total, bool Echo)
{
    std::vector<char> buffer(64 * 1024);
    for (size_t got = 0; got < Total;) {
        pollfd ready{Slave, POLLIN, 0};
        poll(&ready, 1, -1);
        const ssize_t n = read(Slave, buffer.data(), buffer.size());
        if (n <= 0)
            continue;
        got += static_cast<size_t>(n);
        if (Echo)
            (void)!write(Slave, buffer.data(), static_cast<size_t>(n));
    }
}

// A waiting thread that hands each wake-up to the main thread and blocks
// until the main thread has read (and answered).
void BareThreadLoop(int Slave, size_t Total, bool Echo)
{
    std::mutex lock;
    std::condition_variable changed;
    bool ready = false, finished = false;
    std::thread waiter([&] {
        for (;;) {
            pollfd line{Slave, POLLIN, 0};
            poll(&line, 1, -1);
            std::unique_lock guard(lock);
            if (finished)
                return;
            ready = true;
            changed.notify_all();
            changed.wait(guard, [&] { return !ready; });
            if (finished)
                return;
        }
    });
    std::vector<char> buffer(64 * 1024);
    for (size_t got = 0; got < Total;) {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return ready; });
        const ssize_t n = read(Slave, buffer.data(), buffer.size());
        if (n > 0) {
            got += static_cast<size_t>(n);
            if (Echo)
                (void)!write(Slave, buffer.data(), static_cast<size_t>(n));
        }
        finished = got >= Total;
        ready = false;
        changed.notify_all();
    }
    waiter.join();
}

// The component without events: ReadBytes waits for the first byte and takes
// what has come (the timeouts MAXDWORD, MAXDWORD, constant), as a program
// that reads in a loop of its own does.
void BlockingReadLoop(const std::string& Path, size_t Total, bool Echo, const std::function<void()>& Started,
                      const std::shared_future<void>& FarEndDone)
{
    TComPort port(nullptr);
    port.SetPort(Path);
    port.SetEvents({});
    port.Timeouts().SetReadInterval(-1);
    port.Timeouts().SetReadTotalMultiplier(-1);
    port.Timeouts().SetReadTotalConstant(60000);
    port.Open();
    Started();
    std::vector<char> buffer(64 * 1024);
    for (size_t got = 0; got < Total;) {
        const int32_t n = port.ReadBytes(buffer.data(), static_cast<int32_t>(buffer.size()));
        got += static_cast<size_t>(n);
        if (Echo && n > 0)
            port.WriteText(std::string(buffer.data(), static_cast<size_t>(n)));
    }
    FarEndDone.wait();
    port.Close();
}

// The component: OnRxChar reads the count with ReadText and, for the echo,
// writes it back with WriteText; all ten events on, as the program has them.
// Closing discards what the line has not sent yet: the far end must have had
// its last echo first (FarEndDone).
void PortLoop(Subject Kind, const std::string& Path, size_t Total, bool Echo, const std::function<void()>& Started,
              std::shared_future<void> FarEndDone)
{
    if (Kind == kBlockingReads) {
        BlockingReadLoop(Path, Total, Echo, Started, FarEndDone);
        return;
    }
    ChooseMainLoop(Kind == kQtAdapter, Kind == kOwnQueue);
    MainThreadQueue& queue = MainThreadQueue::Instance();
    TComPort port(nullptr);
    port.SetPort(Path);
    port.SetSyncMethod(Kind == kNoneThread ? smNone : smThreadSync);
    std::atomic<size_t> got{0};
    std::promise<void> done;
    QEventLoop loop;
    std::string text;
    port.OnRxChar = [&](TComponent*, int32_t Count) {
        got += static_cast<size_t>(port.ReadText(text, Count));
        if (Echo)
            port.WriteText(text);
        if (got < Total)
            return;
        if (Kind == kQtAdapter)
            loop.quit();
        else if (Kind == kNoneThread)
            done.set_value();
    };
    port.Open();
    Started();
    if (Kind == kQtAdapter)
        loop.exec();
    else if (Kind == kOwnQueue)
        queue.WaitWhileServing([&] { return got >= Total; });
    else
        done.get_future().wait();
    FarEndDone.wait();
    port.Close();
}

// Runs Kind on Line until Total bytes came; Started is called once it
// listens.
void RunSubject(Subject Kind, const Pty& Line, size_t Total, bool Echo, const std::function<void()>& Started,
                std::shared_future<void> FarEndDone)
{
    if (Kind == kPlain || Kind == kBareThread) {
        Started();
        (Kind == kPlain ? PlainLoop : BareThreadLoop)(Line.Slave, Total, Echo);
        return;
    }
    PortLoop(Kind, Line.SlavePath, Total, Echo, Started, std::move(FarEndDone));
}

struct EchoFigures {
    double Median = 0, P99 = 0, CpuPerEcho = 0, SwitchesPerEcho = 0;
};

EchoFigures RunEcho(Subject Kind)
{
    Pty line;
    const size_t total = static_cast<size_t>(kWarmUp) + static_cast<size_t>(gEchoes);
    std::vector<double> trips;
    std::promise<void> subjectReady, farEndDone;
    auto ready = subjectReady.get_future();
    const Usage used = SubjectUsage(
        [&] {
            ready.wait();
            trips = EchoFromFarEnd(line.Master);
            farEndDone.set_value();
        },
        [&] {
            auto started = [&] { subjectReady.set_value(); };
            RunSubject(Kind, line, total, true, started, farEndDone.get_future().share());
        });
    const double echoes = static_cast<double>(total);
    return {Quantile(trips, 0.5), Quantile(trips, 0.99), used.CpuMicroseconds / echoes,
            static_cast<double>(used.Switches) / echoes};
}

struct StreamFigures {
    double MiBPerSecond = 0, CpuMsPerMiB = 0;
};

StreamFigures RunStream(Subject Kind)
{
    Pty line;
    std::promise<void> subjectReady, farEndDone;
    auto ready = subjectReady.get_future();
    Clock::time_point start;
    const Usage used = SubjectUsage(
        [&] {
            ready.wait();
            StreamFromFarEnd(line.Master);
            farEndDone.set_value();
        },
        [&] {
            auto started = [&] {
                start = Clock::now();
                subjectReady.set_value();
            };
            RunSubject(Kind, line, gStreamBytes, false, started, farEndDone.get_future().share());
        });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double mib = static_cast<double>(gStreamBytes) / (1 << 20);
    return {mib / seconds, used.CpuMicroseconds / 1000.0 / mib};
}

// Context switches of the whole process while it waits one second: with an
// open port (Kind), less the same wait with none.
double IdleWakeups(Subject Kind)
{
    auto idleSecond = [Kind](bool WithPort) {
        Pty line;
        ChooseMainLoop(Kind == kQtAdapter, Kind == kOwnQueue);
        MainThreadQueue& queue = MainThreadQueue::Instance();
        TComPort port(nullptr);
        port.SetPort(line.SlavePath);
        port.SetSyncMethod(Kind == kNoneThread ? smNone : smThreadSync);
        port.OnRxChar = [](TComponent*, int32_t) {};
        if (WithPort)
            port.Open();
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // into its waits
        const Usage before = UsageOf(RUSAGE_SELF);
        if (Kind == kQtAdapter) {
            QEventLoop loop;
            QTimer::singleShot(1000, &loop, &QEventLoop::quit);
            loop.exec();
        } else if (Kind == kOwnQueue) {
            queue.ServeUntil([] { return false; }, Clock::now() + std::chrono::seconds(1));
        } else {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        const long switches = (UsageOf(RUSAGE_SELF) - before).Switches;
        port.Close();
        return switches;
    };
    return static_cast<double>(std::max(0L, idleSecond(true) - idleSecond(false)));
}

// The peak resident size of bare_echo after 1000 echoes, in KiB.
long BareEchoResidentKiB(const char* Mode)
{
    std::string program = "bare_echo";
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) > 0) {
        program = self;
        program = program.substr(0, program.rfind('/') + 1) + "bare_echo";
    }
    Pty line;
    int output[2];
    if (pipe(output) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    const std::string count = std::to_string(1000);
    char* const argv[] = {program.data(), const_cast<char*>(Mode), const_cast<char*>(line.SlavePath.c_str()),
                          const_cast<char*>(count.c_str()), nullptr};
    pid_t child = -1;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        close(output[0]);
        return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // let it open the line
    gEchoes = 1000 - kWarmUp;
    EchoFromFarEnd(line.Master, false);
    char text[64] = {};
    const ssize_t n = read(output[0], text, sizeof text - 1);
    close(output[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return n > 0 ? std::atol(text) : -1;
}

// ---- Report ---------------------------------------------------------------------------------

// Per subject, per pass; ratios are taken within a pass, against the plain
// loop of that pass, then summarised over the passes.
struct Series {
    std::vector<double> Values;
    void Add(double V) { Values.push_back(V); }
    double Median() const { return Quantile(Values, 0.5); }
    // How far the passes lie apart: (max - min) / median.
    double Spread() const
    {
        if (Values.empty() || Median() == 0)
            return 0;
        const auto [lo, hi] = std::minmax_element(Values.begin(), Values.end());
        return (*hi - *lo) / Median();
    }
};

void PrintRow(const char* Name, const Series& Value, const Series& Ratio, const char* Format)
{
    std::printf("  %-26s ", Name);
    std::printf(Format, Value.Median());
    std::printf("   %6.2fx  (passes spread %3.0f%%)\n", Ratio.Median(), Ratio.Spread() * 100);
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = ReadOptions(argc, argv, 5, 2);
    const int passes = options.Passes;
    if (options.Quick) {
        gEchoes = 500;
        gStreamBytes = 4u << 20;
    }
    const int echoes = gEchoes;
    QCoreApplication app(argc, argv);
    PrepareSubject();

    std::array<Series, kSubjects> median, p99, cpu, switches, rate, cpuPerMiB;
    std::array<Series, kSubjects> medianRatio, p99Ratio, cpuRatio, switchRatio, rateRatio, cpuPerMiBRatio;
    for (int pass = 0; pass < passes; ++pass) {
        std::array<EchoFigures, kSubjects> echo;
        std::array<StreamFigures, kSubjects> stream;
        for (int s = 0; s < kSubjects; ++s)
            echo[s] = RunEcho(static_cast<Subject>(s));
        for (int s = 0; s < kSubjects; ++s)
            stream[s] = RunStream(static_cast<Subject>(s));
        for (int s = 0; s < kSubjects; ++s) {
            median[s].Add(echo[s].Median);
            p99[s].Add(echo[s].P99);
            cpu[s].Add(echo[s].CpuPerEcho);
            switches[s].Add(echo[s].SwitchesPerEcho);
            rate[s].Add(stream[s].MiBPerSecond);
            cpuPerMiB[s].Add(stream[s].CpuMsPerMiB);
            medianRatio[s].Add(echo[s].Median / echo[kPlain].Median);
            p99Ratio[s].Add(echo[s].P99 / echo[kPlain].P99);
            cpuRatio[s].Add(echo[s].CpuPerEcho / echo[kPlain].CpuPerEcho);
            switchRatio[s].Add(echo[s].SwitchesPerEcho / echo[kPlain].SwitchesPerEcho);
            rateRatio[s].Add(stream[s].MiBPerSecond / stream[kPlain].MiBPerSecond);
            cpuPerMiBRatio[s].Add(stream[s].CpuMsPerMiB / stream[kPlain].CpuMsPerMiB);
        }
    }

    std::printf(
        "Event path on a pseudo-terminal: %d interleaved passes, %d one-byte echoes and %zu MiB streamed "
        "per pass;\nmedian over the passes, ratio to the plain loop of the same pass.\n",
        passes, echoes, gStreamBytes >> 20);
    struct Figure {
        const char* Title;
        const char* Format;
        std::array<Series, kSubjects>* Values;
        std::array<Series, kSubjects>* Ratios;
    };
    const Figure figures[] = {
        {"echo latency, median (us)", "%9.1f", &median, &medianRatio},
        {"echo latency, p99 (us)", "%9.1f", &p99, &p99Ratio},
        {"CPU per echo (us)", "%9.1f", &cpu, &cpuRatio},
        {"context switches per echo", "%9.2f", &switches, &switchRatio},
        {"stream throughput (MiB/s)", "%9.1f", &rate, &rateRatio},
        {"stream CPU per MiB (ms)", "%9.2f", &cpuPerMiB, &cpuPerMiBRatio},
    };
    for (const Figure& figure : figures) {
        std::printf("%s\n", figure.Title);
        for (int s = 0; s < kSubjects; ++s)
            PrintRow(kNames[s], (*figure.Values)[s], (*figure.Ratios)[s], figure.Format);
    }
    std::printf(
        "wake-ups per second of an idle open port (context switches less those of the same wait "
        "without a port)\n");
    for (int s = kQtAdapter; s <= kNoneThread; ++s)
        std::printf("  %-26s %9.0f\n", kNames[s], IdleWakeups(static_cast<Subject>(s)));
    const long plainKiB = BareEchoResidentKiB("plain");
    const long portKiB = BareEchoResidentKiB("port");
    std::printf("peak resident size of a bare echo program (KiB)\n  %-26s %9ld\n  %-26s %9ld   %6.2fx\n",
                "plain poll/read loop", plainKiB, "Velt, own queue", portKiB,
                static_cast<double>(portKiB) / static_cast<double>(plainKiB));
    return 0;
}
