// velt-cli: the meter's three reads and its clock setting from the command
// line, with the program's stored port settings and its meter session.
#include <cstdio>
#include <string>
#include <vector>

#include "AnswerOutput.h"
#include "CliOptions.h"
#include "CliView.h"
#include "DeadlineTimers.h"
#include "FindMeter.h"
#include "LineErrorText.h"
#include "LocalTime.h"
#include "MeterPort.h"
#include "MeterRequests.h"
#include "MeterSession.h"
#include "MeterTexts.h"
#include "PortFollow.h"
#include "PortTable.h"
#include "SessionLoop.h"
#include <velt/comport/framework/Console.h>
#include <velt/comport/framework/ExceptionReport.h>
#include <velt/comport/framework/MainThreadQueue.h>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitMeterFailed = 1;
constexpr int kExitPortOrOptions = 2;

// The stored settings, read as the program reads them at start. A store
// that cannot be read is reported; what the options give may still do.
void ReadSettings(TMeterPort& Port, CliView& View)
{
    try {
        Port.ReadStoredSettings();
    } catch (const std::exception& e) {
        View.Message(e.what());
    }
}

// The stored adapter is looked for under its present name first; when two
// ports could be it, none is opened.
bool OpenPort(TMeterPort& Port, CliView& View)
{
    if (Port.Port().empty()) {
        View.Message(meter_text::kChoosePort);
        return false;
    }
    const std::string stored = Port.Port();
    const TResolvedPort resolved = FollowStoredAdapter(Port);
    if (resolved.Result == prsAmbiguous) {
        View.ReportPortAmbiguous(stored);
        return false;
    }
    try {
        Port.Open();
        if (resolved.Result == prsMoved)
            View.ReportPortFollowed(stored, resolved.Name);
        return true;
    } catch (const EComPort& e) {
        View.ReportOpenFailed(Port.Port() + ": " + e.what() + HolderNote(Port.Port(), e), e.AccessDenied());
    } catch (const std::exception& e) {
        View.ReportOpenFailed(Port.Port() + ": " + e.what(), false);
    }
    return false;
}

std::string RequestOf(const CliOptions& Options)
{
    switch (Options.Command) {
    case CliCommand::Get:
        return MeasurementRequest(Options.Number);
    case CliCommand::All:
        return AllMeasurementsRequest();
    default:
        return LastMeasurementRequest();
    }
}

int WriteAnswer(const std::string& Bytes, const CliOptions& Options, CliView& View)
{
    if (!Options.OutFile.empty()) {
        try {
            ReplaceFile(Options.OutFile, AnswerFileContent(Bytes, Options.OutFile));
            return kExitDone;
        } catch (const std::exception& e) {
            View.Message(e.what());
            return kExitPortOrOptions;
        }
    }
    const std::string text = AnswerUtf8(Bytes);
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        View.Message("nie udało się zapisać odczytu na standardowe wyjście");
        return kExitPortOrOptions;
    }
    return kExitDone;
}

// Empties the port's handlers when it goes out of scope.
class HandlersReleased {
public:
    explicit HandlersReleased(TMeterPort& Port) : FPort(Port) {}
    ~HandlersReleased()
    {
        FPort.OnRxChar = nullptr;
        FPort.OnError = nullptr;
    }
    HandlersReleased(const HandlersReleased&) = delete;
    HandlersReleased& operator=(const HandlersReleased&) = delete;

private:
    TMeterPort& FPort;
};

// Runs one command on the port and returns the exit code. A read whose line reported an error, whose received bytes
// could not be taken, or whose answer was longer than a session keeps, is damaged or cut short: what arrived is still
// written out, but the command fails.
int RunSession(TMeterPort& Port, const CliOptions& Options, CliView& View, bool& TransferDamaged)
{
    SteadyMeterClock clock;
    DeadlineTimers timers(clock);
    MeterSession session(Port, timers.Timers(), View, LocalTimeNow);
    View.Watch(session);
    Port.OnRxChar = [&](TComponent*, int32_t Count) { session.ReceiveFromPort(Count); };
    Port.OnError = [&](TComponent*, TComErrors Errors) {
        View.Message(LineErrorText(Errors));
        session.TakeLineErrors(Errors);
        TransferDamaged = true;
    };
    // The port closes after the session is gone, serving what the line still
    // hands over: by then nothing may lead to the session.
    const HandlersReleased released(Port);
    if (!OpenPort(Port, View))
        return kExitPortOrOptions;
    try {
        if (Options.Command == CliCommand::SetClock)
            session.StartClockSetting();
        else
            session.StartRead(RequestOf(Options));
        SessionLoop(session, timers).RunUntil([&] { return View.Outcome().has_value(); });
    } catch (const std::exception& e) {
        View.Message(e.what());
        return kExitMeterFailed;
    }
    if (!View.Outcome())
        return kExitMeterFailed;
    switch (*View.Outcome()) {
    case CliView::Result::ClockSet:
        return kExitDone;
    case CliView::Result::NoAnswer:
    case CliView::Result::ClockFailed:
        return kExitMeterFailed;
    case CliView::Result::Answered:
        break;
    }
    const int written = WriteAnswer(View.Answer(), Options, View);
    const bool damaged = TransferDamaged || View.AnswerCut();
    return written == kExitDone && damaged ? kExitMeterFailed : written;
}

int ListPorts(const CliOptions& Options)
{
    std::vector<TPortDetails> ports;
    try {
        ListPortDetails(ports);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velt-cli: %s\n", e.what());
        return kExitPortOrOptions;
    }
    const std::string text = Options.TabSeparated ? PortLines(ports) : PortTable(ports);
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fputs("velt-cli: nie udało się zapisać listy portów na standardowe wyjście\n", stderr);
        return kExitPortOrOptions;
    }
    return kExitDone;
}

int Run(const CliOptions& Options)
{
    // This thread's serving of the hand-over queue is the tool's main loop:
    // it waits on the line itself, so no event thread is needed.
    MainThreadQueue::Instance().SetMainThread();
    MainThreadQueue::Instance().ServeAsMainLoop();
    CliView view(Options.Command == CliCommand::SetClock, stderr, IsTerminal(stderr));
    bool transferDamaged = false;
    SetExceptionReportHandler([&](const std::string& Message) {
        view.Message(Message);
        transferDamaged = true;
    });
    int result = kExitPortOrOptions;
    {
        TMeterPort port;
        ReadSettings(port, view);
        ApplyCliSettings(Options, port);
        result = RunSession(port, Options, view, transferDamaged);
    }
    SetExceptionReportHandler(nullptr);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    const CliParseResult parsed = ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.Options) {
        std::fprintf(stderr, "velt-cli: %s\nOpis: velt-cli --help\n", parsed.Error.c_str());
        return kExitPortOrOptions;
    }
    if (parsed.Options->Command == CliCommand::Help) {
        std::fputs(CliUsage().c_str(), stdout);
        return kExitDone;
    }
    if (parsed.Options->Command == CliCommand::Ports)
        return ListPorts(*parsed.Options);
    if (parsed.Options->Command == CliCommand::Find)
        return FindMeter(*parsed.Options);
    return Run(*parsed.Options);
}
