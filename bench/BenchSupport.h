#pragma once
// What both event-path benchmarks need: a raw pseudo-terminal line, the
// process's CPU time and context switches, the far end on a thread (and CPU)
// of its own, and the choice of the main loop that serves the ports.
#include <fcntl.h>
#include <pthread.h>
#include <pty.h>
#include <sched.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <velt/comport/framework/MainThreadQueue.h>
#include <velt/comport/ui/QtHandOver.h>

namespace bench {

// A pseudo-terminal, both ends raw; the far end holds the master, which
// does not block.
struct Pty {
    int Master = -1;
    int Slave = -1;
    std::string SlavePath;
    Pty()
    {
        char name[256] = {};
        if (openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed (too many open files?)");
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
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
};

struct Usage {
    double CpuMicroseconds = 0;
    long Switches = 0;
};

// Who: RUSAGE_SELF (the process) or RUSAGE_THREAD.
inline Usage UsageOf(int Who)
{
    rusage r{};
    getrusage(Who, &r);
    auto us = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_usec); };
    return {us(r.ru_utime) + us(r.ru_stime), r.ru_nvcsw + r.ru_nivcsw};
}

inline Usage operator-(Usage A, Usage B) { return {A.CpuMicroseconds - B.CpuMicroseconds, A.Switches - B.Switches}; }

// Keeps the calling thread on Cpu where there are two, so that the subject
// and the far end do not take turns on one.
inline void PinTo(int Cpu)
{
    if (std::thread::hardware_concurrency() < 2)
        return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(Cpu, &set);
    pthread_setaffinity_np(pthread_self(), sizeof set, &set);
}

inline double Quantile(std::vector<double> Samples, double Q)
{
    if (Samples.empty())
        return 0;
    std::sort(Samples.begin(), Samples.end());
    return Samples[static_cast<size_t>(Q * static_cast<double>(Samples.size() - 1))];
}

// Runs FarEndWork on a thread of its own (CPU 1) while Subject runs here;
// returns the subject's usage: the process's, less the far end's thread.
inline Usage SubjectUsage(const std::function<void()>& FarEndWork, const std::function<void()>& Subject)
{
    const Usage before = UsageOf(RUSAGE_SELF);
    Usage farEnd;
    std::thread thread([&] {
        PinTo(1);
        const Usage start = UsageOf(RUSAGE_THREAD);
        FarEndWork();
        farEnd = UsageOf(RUSAGE_THREAD) - start;
    });
    Subject();
    thread.join();
    return (UsageOf(RUSAGE_SELF) - before) - farEnd;
}

// The command line of both: "--passes N", and "--quick" for fewer and
// shorter passes (QuickPasses of them).
struct Options {
    int Passes;
    bool Quick = false;
};

inline Options ReadOptions(int argc, char** argv, int Passes, int QuickPasses)
{
    Options options{Passes};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--passes") == 0 && i + 1 < argc) {
            options.Passes = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--quick") == 0) {
            options.Quick = true;
            options.Passes = QuickPasses;
        }
    }
    return options;
}

// Qt's loop watcher, kept while the benchmarks switch between main loops.
inline MainLoopWatcher* gQtWatcher = nullptr;

// Makes the ports' main loop Qt's, keeps its watcher and pins the subject to
// CPU 0. Call once, after the QCoreApplication is made.
inline void PrepareSubject()
{
    InstallQtHandOver();
    gQtWatcher = MainThreadQueue::Instance().LoopWatcher();
    PinTo(0);
}

// Which loop runs the ports' handlers on the main thread from now on: Qt's,
// the component's own queue, or (neither) a thread-route wait.
inline void ChooseMainLoop(bool Qt, bool OwnQueue)
{
    MainThreadQueue& queue = MainThreadQueue::Instance();
    queue.SetLoopWatcher(Qt ? gQtWatcher : nullptr);
    if (OwnQueue)
        queue.ServeAsMainLoop();
}

} // namespace bench
