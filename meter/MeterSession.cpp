#include "MeterSession.h"

#include <algorithm>

#include <velt/comport/ComPort.h>
#include <velt/comport/framework/ExceptionReport.h>

#include "PortFollow.h"
#include "RunReported.h"

MeterSession::MeterSession(TCustomComPort& Port, MeterTimers Timers, MeterView& View, std::function<CalendarTime()> Now,
                           size_t MaxAnswerSize)
    : FPort(Port), FTimers(Timers), FView(View), FNow(std::move(Now)), FMaxAnswerSize(MaxAnswerSize)
{
    BindPort();
}

MeterSession::~MeterSession() { ReleasePort(); }

void MeterSession::BindPort()
{
    FPort.OnRxChar = [this](TComponent*, int32_t Count) { RunReported([&] { ReceiveFromPort(Count); }); };
    FPort.OnError = [this](TComponent*, TComErrors Errors) {
        RunReported([&] {
            FView.ReportLineErrors(Errors);
            TakeLineErrors(Errors);
        });
    };
}

void MeterSession::ReleasePort()
{
    FPort.OnRxChar = nullptr;
    FPort.OnError = nullptr;
}

bool MeterSession::OpenPort()
{
    ClosePortIfGone();
    if (FPort.Connected())
        return true;
    try {
        return OpenFollowedPort();
    } catch (const EComPort& error) {
        FView.ReportOpenFailed({FPort.Port(), error.what(), error.OpenFailure(), error.SystemErrorCode()});
    } catch (...) {
        FView.ReportOpenFailed({FPort.Port(), ExceptionMessage(std::current_exception()), ofOther, 0});
    }
    return false;
}

// The adapter last used is looked for first: under a new name it is opened
// there, and the view told. When it cannot be told apart from another, or
// is not there at all, nothing is opened (whatever holds its name now is
// another device) and the operator chooses.
bool MeterSession::OpenFollowedPort()
{
    const std::string stored = FPort.Port();
    const TFollowedPort followed = FollowStoredAdapter(FPort);
    FPortToChoose = followed.Result == prsAmbiguous || followed.Result == prsMissing;
    if (followed.Result == prsAmbiguous)
        FView.ReportPortAmbiguous(stored);
    if (followed.Result == prsMissing)
        FView.ReportAdapterMissing({stored, followed.Wanted, followed.NowThere});
    if (FPortToChoose)
        return false;
    FPort.Open();
    if (followed.Result == prsMoved)
        FView.ReportPortFollowed(stored, followed.Name);
    RememberAdapter(FPort, followed);
    return true;
}

// A write that fails on an open port means the line is gone (an adapter
// pulled out): the port is closed so that the next command opens it afresh,
// and the failure goes on to the caller.
void MeterSession::WriteToMeter(const std::string& Bytes)
{
    try {
        FPort.WriteText(Bytes);
    } catch (const EComPort&) {
        try {
            FPort.Close();
        } catch (...) {
            // The write's failure is the one worth reporting.
        }
        throw;
    }
}

void MeterSession::StartRead(const std::string& Request)
{
    if (!OpenPort() && FPortToChoose)
        return; // the operator chooses the port first
    FView.ClearText();
    FView.SetCommandsEnabled(false);
    FTimers.Watchdog.Start();
    WriteToMeter(Request);
}

// The port cannot close from inside its own notification: the idle timer,
// started here, closes it at once after, and ends the transfer showing what
// came. A clock setting under way has failed.
bool MeterSession::TakeLineErrors(TComErrors Errors)
{
    if (!Errors.Contains(ceIO))
        return false;
    if (FLineGone)
        return true;
    FLineGone = true;
    FTimers.Watchdog.Stop();
    if (FTimers.Handshake.IsActive()) {
        AbandonHandshake();
        FView.ReportClockFailed();
    }
    FView.ReportAdapterGone(FPort.Port());
    FTimers.Idle.Stop();
    FTimers.Idle.Start();
    return true;
}

void MeterSession::ClosePortIfGone()
{
    if (!FLineGone)
        return;
    try {
        FPort.Close();
    } catch (...) {
        // The line is gone either way; its closing has nothing to add.
    }
    FLineGone = FPort.Connected();
}

void MeterSession::ReceiveFromPort(int32_t Count)
{
    if (FLineGone || !FPort.Connected())
        return; // announced as the line hung up
    FTimers.Watchdog.Stop();
    std::string received;
    FPort.ReadText(received, Count);
    Receive(received);
}

void MeterSession::Receive(const std::string& Burst)
{
    FTimers.Watchdog.Stop();
    FView.ShowTransfer();
    FTimers.Idle.Stop();
    FTimers.Idle.Start();
    if (FTimers.Handshake.IsActive()) {
        // A handshake answer, which restarts the handshake's pause.
        FTimers.Handshake.Stop();
        FHandshake.TakeAnswer(Burst);
        FTimers.Handshake.Start();
        FView.StepProgress(33);
    } else {
        // Collected first, so that the progress shown counts this burst.
        const size_t room = FMaxAnswerSize - std::min(FMaxAnswerSize, FReceiveBuffer.size());
        FReceiveBuffer.append(Burst, 0, room);
        FAnswerCut = FAnswerCut || Burst.size() > room;
        FView.StepProgress(1);
    }
}

// One second after the last burst: the transfer is over.
void MeterSession::IdleTimerTick()
{
    ClosePortIfGone();
    FView.EndTransfer();
    FTimers.Idle.Stop();
    if (!FReceiveBuffer.empty())
        FView.ShowAnswer(FReceiveBuffer);
    if (FAnswerCut)
        FView.ReportAnswerCut(FReceiveBuffer.size());
    FReceiveBuffer.clear();
    FAnswerCut = false;
}

// One second after a request that got no byte at all.
void MeterSession::WatchdogTick()
{
    FTimers.Watchdog.Stop();
    FView.ReportNoAnswer();
    FView.SetCommandsEnabled(true);
}

void MeterSession::StartClockSetting()
{
    FView.ClearText();
    FView.SetCommandsEnabled(false);
    if (!OpenPort()) {
        FView.SetCommandsEnabled(true);
        return;
    }
    try {
        SendHandshakeByte(FHandshake.Begin());
    } catch (...) {
        AbandonHandshake();
        throw;
    }
    FTimers.Handshake.Start();
}

void MeterSession::HandshakeTimerTick()
{
    FTimers.Handshake.Stop();
    try {
        HandshakeStep();
    } catch (...) {
        AbandonHandshake();
        throw;
    }
}

void MeterSession::HandshakeStep()
{
    const ClockHandshake::Step step = FHandshake.Advance(FNow);
    switch (step.What) {
    case ClockHandshake::Outcome::Failed:
        FView.ReportClockFailed();
        FView.EndTransfer();
        return;
    case ClockHandshake::Outcome::Succeeded:
        FView.EndTransfer();
        FView.ReportClockSet();
        return;
    case ClockHandshake::Outcome::Send:
        SendHandshakeByte(step.Byte);
        FTimers.Handshake.Start();
        return;
    }
}

void MeterSession::SendHandshakeByte(uint8_t Byte) { WriteToMeter(std::string(1, static_cast<char>(Byte))); }

// A write that fails leaves no timer to bring the commands back: stop here.
void MeterSession::AbandonHandshake()
{
    FTimers.Handshake.Stop();
    FView.EndTransfer();
}
