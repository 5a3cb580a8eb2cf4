// What the line log costs on the event path: a one-byte echo on a
// pseudo-terminal answered from OnRxChar (smNone, the port's own thread),
// by a port without a log and by one whose log goes as text to a file on a
// writer thread, each beside a plain poll()/read() loop measured in the same
// pass. Per echo: the median round trip and the subject's CPU time (the
// process less the far end's thread, so the log writer's thread counts).
// Figures, not a test: nothing here fails on time.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/LineLog.h>
#include <velt/comport/LineLogText.h>

#include "BenchSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

int gEchoes = 3000;
constexpr int kWarmUp = 100;

using bench::Pty;

double CpuMicroseconds(int Who) { return bench::UsageOf(Who).CpuMicroseconds; }

double Median(std::vector<double> Samples) { return bench::Quantile(std::move(Samples), 0.5); }

// One byte out, wait for it to come back; the round trips after the warm-up.
std::vector<double> EchoFromFarEnd(int Master)
{
    std::vector<double> trips;
    char byte = 'x';
    for (int i = 0; i < kWarmUp + gEchoes; ++i) {
        const auto start = Clock::now();
        while (write(Master, &byte, 1) != 1) {
        }
        for (;;) {
            pollfd ready{Master, POLLIN, 0};
            poll(&ready, 1, -1);
            if (read(Master, &byte, 1) == 1)
                break;
        }
        if (i >= kWarmUp)
            trips.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return trips;
}

enum Subject { kPlain, kNoLog, kTextLog, kSubjects };
const char* const kNames[kSubjects] = {"plain poll/read loop", "Velt, no log", "Velt, text log to a file"};

void PlainLoop(int Slave, size_t Total)
{
    char buffer[4096];
    for (size_t got = 0; got < Total;) {
        pollfd ready{Slave, POLLIN, 0};
        poll(&ready, 1, -1);
        const ssize_t n = read(Slave, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        got += static_cast<size_t>(n);
        (void)!write(Slave, buffer, static_cast<size_t>(n));
    }
}

// Writes the log's text to a file until told to stop, as velt-cli --log does.
class TextLogWriter {
public:
    TextLogWriter() : FFile(std::tmpfile())
    {
        FThread = std::thread([this] {
            TLineLogText text;
            for (bool more = true; more;) {
                more = !FStop;
                FLog->WaitForRecords(std::chrono::milliseconds(100));
                for (const TLineRecord& record : FLog->Take()) {
                    const std::string line = text.Line(record);
                    std::fwrite(line.data(), 1, line.size(), FFile);
                }
                std::fflush(FFile);
            }
        });
    }
    ~TextLogWriter()
    {
        FStop = true;
        FThread.join();
        std::fclose(FFile);
    }
    std::shared_ptr<TLineLog> FLog = std::make_shared<TLineLog>();

private:
    std::FILE* FFile;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

// The port closes only once the far end has its last echo: closing discards
// what the line has not yet passed on.
void PortLoop(Subject Kind, const std::string& Path, size_t Total, const std::function<void()>& Started,
              std::shared_future<void> FarEndDone)
{
    std::unique_ptr<TextLogWriter> writer;
    if (Kind == kTextLog)
        writer = std::make_unique<TextLogWriter>();
    TComPort port(nullptr);
    port.SetPort(Path);
    port.SetSyncMethod(smNone);
    if (writer)
        port.SetLineLog(writer->FLog);
    std::atomic<size_t> got{0};
    std::promise<void> done;
    std::string text;
    port.OnRxChar = [&](TComponent*, int32_t Count) {
        got += static_cast<size_t>(port.ReadText(text, Count));
        port.WriteText(text);
        if (got == Total)
            done.set_value();
    };
    port.Open();
    Started();
    done.get_future().wait();
    FarEndDone.wait();
    port.Close();
}

struct Figures {
    double Median = 0, CpuPerEcho = 0;
};

Figures RunEcho(Subject Kind)
{
    Pty line;
    const size_t total = static_cast<size_t>(kWarmUp) + static_cast<size_t>(gEchoes);
    std::vector<double> trips;
    std::promise<void> ready, farEndDone;
    double farEndCpu = 0;
    const double before = CpuMicroseconds(RUSAGE_SELF);
    std::thread farEnd([&] {
        ready.get_future().wait();
        const double start = CpuMicroseconds(RUSAGE_THREAD);
        trips = EchoFromFarEnd(line.Master);
        farEndCpu = CpuMicroseconds(RUSAGE_THREAD) - start;
        farEndDone.set_value();
    });
    if (Kind == kPlain) {
        ready.set_value();
        PlainLoop(line.Slave, total);
    } else {
        PortLoop(
            Kind, line.SlavePath, total, [&] { ready.set_value(); }, farEndDone.get_future().share());
    }
    farEnd.join();
    const double used = CpuMicroseconds(RUSAGE_SELF) - before - farEndCpu;
    return {Median(trips), used / static_cast<double>(total)};
}

} // namespace

int main(int argc, char** argv)
{
    int passes = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            passes = 2;
            gEchoes = 1000;
        } else if (std::strcmp(argv[i], "--passes") == 0 && i + 1 < argc) {
            passes = std::max(1, std::atoi(argv[++i]));
        }
    }
    std::printf(
        "Line log on the event path: %d interleaved passes of %d one-byte echoes (smNone);\n"
        "median over the passes, ratio to the plain loop of the same pass.\n",
        passes, gEchoes);
    std::vector<double> median[kSubjects], cpu[kSubjects], medianRatio[kSubjects], cpuRatio[kSubjects];
    for (int pass = 0; pass < passes; ++pass) {
        Figures figures[kSubjects];
        for (int s = 0; s < kSubjects; ++s)
            figures[s] = RunEcho(static_cast<Subject>(s));
        for (int s = 0; s < kSubjects; ++s) {
            median[s].push_back(figures[s].Median);
            cpu[s].push_back(figures[s].CpuPerEcho);
            medianRatio[s].push_back(figures[s].Median / figures[kPlain].Median);
            cpuRatio[s].push_back(figures[s].CpuPerEcho / figures[kPlain].CpuPerEcho);
        }
    }
    std::printf("echo latency, median (us)\n");
    for (int s = 0; s < kSubjects; ++s)
        std::printf("  %-26s %8.1f  %5.2fx\n", kNames[s], Median(median[s]), Median(medianRatio[s]));
    std::printf("CPU per echo (us), the log writer's thread included\n");
    for (int s = 0; s < kSubjects; ++s)
        std::printf("  %-26s %8.1f  %5.2fx\n", kNames[s], Median(cpu[s]), Median(cpuRatio[s]));
    return 0;
}
