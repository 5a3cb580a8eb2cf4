#include "FindMeter.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "AnswerOutput.h"
#include "CliOptions.h"
#include "MeterPort.h"
#include "PortProbe.h"
#include <velt/comport/PortDetails.h>
#include <velt/comport/framework/ExceptionReport.h>
#include <velt/comport/framework/MainThreadQueue.h>

namespace {

// A meter answers its one-byte request within a second and falls silent a
// second after the answer; a port still busy after this is no meter.
constexpr std::chrono::milliseconds kPortLimit{4000};

constexpr int kExitFound = 0;
constexpr int kExitNoMeter = 1;
constexpr int kExitListOrOutput = 2;

// The ports named on the command line, or else every port the system lists.
bool PortsToAsk(const CliOptions& Options, std::vector<TPortDetails>& Ports)
{
    if (!Options.FindPorts.empty()) {
        for (const std::string& name : Options.FindPorts) {
            TPortDetails named;
            named.Name = name; // described by its name alone
            Ports.push_back(named);
        }
        return true;
    }
    try {
        ListPortDetails(Ports);
        return true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velt-cli: %s\n", e.what());
        return false;
    }
}

std::string FirstLine(const std::string& Bytes)
{
    const std::string text = AnswerUtf8(Bytes);
    return text.substr(0, text.find('\n'));
}

// What the progress line says after the port's name.
std::string Verdict(const ProbeResult& Result)
{
    switch (Result.Outcome) {
    case ProbeResult::Kind::Answered:
        return "miernik odpowiada";
    case ProbeResult::Kind::Busy:
        return "zajęty przez inny program, pominięty";
    case ProbeResult::Kind::OpenFailed:
        return "nie udało się otworzyć (" + Result.Text + ")";
    case ProbeResult::Kind::NoAnswer:
        return "brak odpowiedzi";
    case ProbeResult::Kind::LineFailed:
        return "błąd linii" + (Result.Text.empty() ? std::string() : " (" + Result.Text + ")");
    case ProbeResult::Kind::TimedOut:
        return "linia nie ucichła w " + std::to_string(kPortLimit.count() / 1000) + " s: to nie odpowiedź miernika";
    }
    return {};
}

bool WriteFound(const TPortDetails& Port, const std::string& Answer)
{
    const std::string line = DescribePort(Port) + ": " + FirstLine(Answer) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

int AskEachPort(const CliOptions& Options, const std::vector<TPortDetails>& Ports)
{
    TMeterPort port;
    try {
        port.ReadStoredSettings();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velt-cli: %s\n", e.what());
    }
    ApplyCliSettings(Options, port);
    int found = 0;
    for (const TPortDetails& details : Ports) {
        std::fprintf(stderr, "velt-cli: %s: ", DescribePort(details).c_str());
        std::fflush(stderr);
        port.SetPort(details.Name);
        const ProbeResult result = ProbePort(port, kPortLimit);
        std::fprintf(stderr, "%s\n", Verdict(result).c_str());
        std::fflush(stderr);
        if (result.Outcome != ProbeResult::Kind::Answered)
            continue;
        if (!WriteFound(details, result.Text)) {
            std::fputs("velt-cli: nie udało się zapisać wyniku na standardowe wyjście\n", stderr);
            return kExitListOrOutput;
        }
        ++found;
    }
    if (found == 0)
        std::fputs("velt-cli: żaden miernik nie odpowiedział\n", stderr);
    return found > 0 ? kExitFound : kExitNoMeter;
}

} // namespace

int FindMeter(const CliOptions& Options)
{
    std::vector<TPortDetails> ports;
    if (!PortsToAsk(Options, ports))
        return kExitListOrOutput;
    if (ports.empty()) {
        std::fputs("velt-cli: nie znaleziono żadnego portu szeregowego\n", stderr);
        return kExitNoMeter;
    }
    // This thread serves the port's hand-overs while a port is asked.
    MainThreadQueue::Instance().SetMainThread();
    MainThreadQueue::Instance().ServeAsMainLoop();
    SetExceptionReportHandler(
        [](const std::string& Message) { std::fprintf(stderr, "\nvelt-cli: %s\n", Message.c_str()); });
    const int code = AskEachPort(Options, ports);
    SetExceptionReportHandler(nullptr);
    return code;
}
