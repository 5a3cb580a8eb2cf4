#include "MeterProgram.h"

#include <velt/comport/ComPort.h>
#include <velt/comport/PortDetails.h>
#include <velt/comport/framework/ExceptionReport.h>
#include <velt/comport/framework/FileWrite.h>

#include "AnswerText.h"
#include "LineSummary.h"
#include "MeterPort.h"
#include "MeterRequests.h"
#include "MeterSession.h"
#include "MeterTexts.h"
#include "PortFollow.h"
#include "RunReported.h"
#include <velt/comport/Windows1250.h>

namespace {

std::u16string Utf16(const std::string& Utf8) { return Utf8ToUtf16(Utf8); }

} // namespace

MeterProgram::MeterProgram(ProgramWindow& Window, MeterTimers Timers, std::function<CalendarTime()> Now,
                           SettingsPlaces Places)
    : FWindow(Window), FTimers(Timers), FPlaces(std::move(Places)), FPort(std::make_unique<TComPort>(nullptr))
{
    ApplyMeterPortSettings(*FPort);
    FPort->SetLineLog(FHistory.Log()); // from the start, so the first command is in it
    FSession = std::make_unique<MeterSession>(*FPort, FTimers, static_cast<MeterView&>(*this), std::move(Now));
}

MeterProgram::~MeterProgram() { Shutdown(); }

void MeterProgram::Start()
{
    FTimers.Idle.Start();
    Redraw();
    RunReported([this] { RestoreStoredSettings(*FPort, FPlaces); });
}

void MeterProgram::StoreSettings()
{
    RunReported([this] { SaveStoredSettings(*FPort, FPlaces); });
}

void MeterProgram::Shutdown()
{
    if (!FPort)
        return;
    // Closing the port serves hand-overs still in flight; they must no
    // longer reach a window that is going.
    FSession->ReleasePort();
    FTimers.Idle.Stop();
    FTimers.Watchdog.Stop();
    FTimers.Handshake.Stop();
    RunReported([this] { FPort->Close(); });
}

void MeterProgram::Run(ProgramCommand Command)
{
    RunReported([this, Command] { RunCommand(Command); });
}

void MeterProgram::RunCommand(ProgramCommand Command)
{
    const CommandButton& button = ButtonOf(Command);
    if (button.Request != nullptr) {
        RunOnMeter([&] { FSession->StartRead(button.Request(MeasurementNumber())); });
        return;
    }
    switch (Command) {
    case ProgramCommand::Settings:
        FPort->ShowSettingsDialog();
        return;
    case ProgramCommand::ClearPane:
        ClearText();
        return;
    case ProgramCommand::CopyPane:
        FWindow.CopyPane();
        return;
    case ProgramCommand::SavePane:
        SavePane();
        return;
    case ProgramCommand::SetClock:
        RunOnMeter([this] { FSession->StartClockSetting(); });
        return;
    default:
        return;
    }
}

// A command that talks to the meter. A status about the adapter stays until
// a command finds the port open with nothing new to tell of it. When the
// adapter is missing or could not be told apart from another, the operator
// picks the port once the session is done with the command: the port picked
// is used as it is, its identity now the meter's adapter (stored with the
// other settings when the window closes).
void MeterProgram::RunOnMeter(const std::function<void()>& Start)
{
    FStatusSaid = false;
    FPortToChoose = false;
    FCommandMark = FHistory.TakeIn();
    Start();
    if (!FStatusSaid && FPort->Connected())
        SetStatus({});
    if (FPortToChoose) {
        FPortToChoose = false;
        if (FWindow.ChoosePort())
            RememberChosenAdapter(*FPort);
    }
}

void MeterProgram::SetStatus(const std::string& Text)
{
    FStatusSaid = !Text.empty();
    if (FState.Status == Text)
        return;
    FState.Status = Text;
    Redraw();
}

// The pane as an RTF document, replacing any file of the chosen name whole.
void MeterProgram::SavePane()
{
    const std::filesystem::path file = FWindow.AskSaveFileName();
    if (file.empty())
        return;
    WriteFileAtomically(file, FWindow.PaneRtf());
}

void MeterProgram::ShowLineLog()
{
    RunReported([this] {
        FHistory.TakeIn();
        FWindow.ShowLineLog(FHistory.Text());
    });
}

void MeterProgram::SaveLineLog(const std::filesystem::path& File, const std::string& Text)
{
    RunReported([&] { WriteFileAtomically(File, Text); });
}

uint8_t MeterProgram::MeasurementNumber() const { return ::MeasurementNumber(FWindow.NumberText()); }

void MeterProgram::IdleTick()
{
    FHistory.TakeIn(); // the port's log stays far from full
    if (FTimers.Idle.IsActive())
        RunReported([this] { FSession->IdleTimerTick(); });
}

void MeterProgram::WatchdogTick()
{
    if (FTimers.Watchdog.IsActive())
        RunReported([this] { FSession->WatchdogTick(); });
}

void MeterProgram::HandshakeTick()
{
    if (FTimers.Handshake.IsActive())
        RunReported([this] { FSession->HandshakeTimerTick(); });
}

void MeterProgram::Redraw() { FWindow.Draw(FState); }

// Adds Line below the pane's text, on a line of its own.
void MeterProgram::AppendLine(const std::string& Line)
{
    std::u16string text = FWindow.PaneText();
    if (!text.empty() && text.back() != u'\n')
        text.push_back(u'\n');
    FWindow.SetPaneText(text + Utf16(Line));
}

void MeterProgram::ShowError(const std::string& Text)
{
    FWindow.ShowBox({BoxKind::Error, Text, meter_text::kErrorCaption});
}

void MeterProgram::ClearText() { FWindow.SetPaneText({}); }

void MeterProgram::SetCommandsEnabled(bool Enabled)
{
    FState.CommandsEnabled = Enabled;
    Redraw();
}

void MeterProgram::ShowTransfer()
{
    FState.TransferShown = true;
    Redraw();
}

// Each burst taken: the port's log stays far from full while the meter talks.
void MeterProgram::StepProgress(int Amount)
{
    FHistory.TakeIn();
    FState.Progress = SteppedProgress(FState.Progress, Amount);
    Redraw();
}

void MeterProgram::EndTransfer()
{
    FState.TransferShown = false;
    FState.Progress = 0;
    FState.CommandsEnabled = true;
    Redraw();
}

// The answer replaces the pane's text, unless the pane holds it already.
void MeterProgram::ShowAnswer(const std::string& Bytes)
{
    const std::u16string text = PaneText(Bytes);
    if (text != FWindow.PaneText())
        FWindow.SetPaneText(text);
}

// The written message, and where the account may not use the device, what
// to do about it on a line of its own; otherwise, where another program
// holds the port, which one.
void MeterProgram::ReportOpenFailed(const PortOpenFailure& Failure)
{
    std::string text = meter_text::kOpenFailed;
    const std::string advice = FWindow.AccessAdvice();
    if (Failure.Kind == ofAccessDenied && !advice.empty())
        text += "\n" + advice;
    if (const std::string holders = PortHolderNote(Failure.Port, Failure.SystemError); !holders.empty())
        text += "\nPort " + Failure.Port + ": " + holders + ".";
    ShowError(text);
}

// A hang-up is the adapter pulled out, which the status line tells; any
// other line error asks for the port, as it always did.
void MeterProgram::ReportLineErrors(TComErrors Errors)
{
    if (!Errors.Contains(ceIO))
        FWindow.ShowBox({BoxKind::Information, meter_text::kChoosePort, meter_text::kApplicationTitle});
}

// The status line says what the log shows of the command that failed.
void MeterProgram::SayWhatTheLineShows(int WaitedMs)
{
    FHistory.TakeIn();
    const std::string sentence = FailedExchangeSentence(FHistory.Since(FCommandMark), WaitedMs);
    if (!sentence.empty())
        SetStatus(sentence);
}

void MeterProgram::ReportNoAnswer()
{
    SayWhatTheLineShows(kWatchdogIntervalMs);
    ShowError(meter_text::kMeterError);
    AppendLine(meter_text::kMeterErrorLine);
}

void MeterProgram::ReportClockSet() { AppendLine(meter_text::kClockSet); }

void MeterProgram::ReportClockFailed()
{
    SayWhatTheLineShows(kHandshakeIntervalMs);
    ShowError(meter_text::kMeterError);
    AppendLine(meter_text::kClockFailed);
}

void MeterProgram::ReportPortFollowed(const std::string& From, const std::string& To)
{
    SetStatus(meter_text::PortFollowedStatus(From, To));
}

void MeterProgram::ReportPortAmbiguous(const std::string&)
{
    SetStatus(meter_text::PortAmbiguousStatus());
    FPortToChoose = true;
}

void MeterProgram::ReportAdapterMissing(const MissingAdapter& Missing)
{
    SetStatus(meter_text::AdapterMissingStatus(Missing.Port, Missing.Wanted, Missing.NowThere));
    FPortToChoose = true;
}

// Arrives between commands or during a transfer, whose bytes so far are
// still shown when the transfer ends.
void MeterProgram::ReportAdapterGone(const std::string& Port) { SetStatus(meter_text::AdapterGoneStatus(Port)); }
