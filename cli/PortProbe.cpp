#include "PortProbe.h"

#include <cerrno>
#include <optional>

#include "DeadlineTimers.h"
#include "MeterPort.h"
#include "MeterRequests.h"
#include "MeterSession.h"
#include "SessionLoop.h"

namespace {

// The session's reports kept as the probe's result; nothing is printed.
class ProbeView : public MeterView {
public:
    std::optional<ProbeResult> Result;

    void ClearText() override {}
    void SetCommandsEnabled(bool) override {}
    void ShowTransfer() override {}
    void StepProgress(int) override {}
    // The session ends the transfer first and then shows the answer, in the
    // same tick of its silence timer.
    void EndTransfer() override { Finish({ProbeResult::Kind::Answered, {}}); }
    void ShowAnswer(const std::string& Bytes) override
    {
        if (Result && Result->Outcome == ProbeResult::Kind::Answered)
            Result->Text = Bytes;
    }
    void ReportOpenFailed(const PortOpenFailure& Failure) override
    {
        Finish({ProbeResult::Kind::OpenFailed, Failure.Message});
    }
    void ReportLineErrors(TComErrors) override { Finish({ProbeResult::Kind::LineFailed, {}}); }
    void ReportNoAnswer() override { Finish({ProbeResult::Kind::NoAnswer, {}}); }
    void ReportClockSet() override {}
    void ReportClockFailed() override {}
    void Finish(ProbeResult Value)
    {
        if (!Result)
            Result = std::move(Value);
    }
};

// The exclusive open refuses a port that another opener holds with EBUSY.
// Where the system gives another error for that (access denied), the port
// is reported as not opened, with the system's reason: left alone all the same.
std::optional<ProbeResult> OpenFailure(TMeterPort& Port)
{
    try {
        Port.Open();
        return std::nullopt;
    } catch (const EComPort& e) {
        if (e.SystemErrorCode() == EBUSY)
            return ProbeResult{ProbeResult::Kind::Busy, e.what()};
        return ProbeResult{ProbeResult::Kind::OpenFailed, e.what()};
    } catch (const std::exception& e) {
        return ProbeResult{ProbeResult::Kind::OpenFailed, e.what()};
    }
}

ProbeResult AskOpenPort(TMeterPort& Port, std::chrono::milliseconds Limit)
{
    SteadyMeterClock clock;
    const auto deadline = clock.Now() + Limit;
    DeadlineTimers timers(clock);
    ProbeView view;
    MeterSession session(Port, timers.Timers(), view, [] { return CalendarTime{}; });
    try {
        session.StartRead(LastMeasurementRequest());
        SessionLoop(session, timers).RunUntil([&] { return view.Result || clock.Now() >= deadline; });
    } catch (const std::exception& e) {
        view.Finish({ProbeResult::Kind::LineFailed, e.what()});
    }
    view.Finish({ProbeResult::Kind::TimedOut, {}});
    return *view.Result;
}

} // namespace

ProbeResult ProbePort(TMeterPort& Port, std::chrono::milliseconds Limit)
{
    if (std::optional<ProbeResult> refused = OpenFailure(Port))
        return *refused;
    ProbeResult result = AskOpenPort(Port, Limit);
    try {
        Port.Close();
    } catch (const std::exception& e) {
        if (result.Outcome != ProbeResult::Kind::Answered)
            result.Text = e.what();
    }
    return result;
}
