#include "CliView.h"

#include "MeterSession.h"
#include "LineErrorText.h"
#include "MeterTexts.h"
#include "OpenErrorText.h"
#include <velt/comport/PortDetails.h>

CliView::CliView(bool ClockCommand, std::FILE* Messages, bool ShowProgress)
    : FClockCommand(ClockCommand), FMessages(Messages), FShowProgress(ShowProgress)
{
}

void CliView::Message(const std::string& Text)
{
    ClearProgress();
    std::fprintf(FMessages, "velt-cli: %s\n", Text.c_str());
    std::fflush(FMessages);
}

// Redraws the line in place: the bytes collected so far, or the clock
// bytes sent.
void CliView::StepProgress(int)
{
    if (!FShowProgress || !FSession || FResult)
        return;
    const size_t count = FClockCommand ? static_cast<size_t>(FSession->ClockBytesSent()) : FSession->BufferedBytes();
    const std::string line = std::string(meter_text::kTransfer) + ": " + std::to_string(count) + " B";
    std::fprintf(FMessages, "\r%s", line.c_str());
    std::fflush(FMessages);
    FProgressWidth = line.size();
}

void CliView::ClearProgress()
{
    if (FProgressWidth == 0)
        return;
    std::fprintf(FMessages, "\r%s\r", std::string(FProgressWidth, ' ').c_str());
    FProgressWidth = 0;
}

// A read ends when the line has been silent for a second after its answer.
// During the clock handshake that silence ends nothing: the handshake's own
// result does.
void CliView::EndTransfer()
{
    if (!FClockCommand)
        Finish(Result::Answered);
}

void CliView::ReportAnswerCut(size_t KeptBytes)
{
    Message("odpowiedź miernika jest dłuższa niż " + std::to_string(KeptBytes) +
            " B: zapisano tylko jej początek, reszta przepadła");
    FAnswerCut = true;
}

void CliView::ReportPortFollowed(const std::string& From, const std::string& To)
{
    Message(std::string(meter_text::kPortFollowed) + " " + To + " (" + meter_text::kPortWas + " " + From + ")");
}

void CliView::ReportPortAmbiguous(const std::string& Stored)
{
    Message(std::string(meter_text::kPortAmbiguous) + " " + meter_text::kChoosePort + " (--port) zamiast " + Stored +
            " (velt-cli ports).");
}

void CliView::ReportAdapterMissing(const MissingAdapter& Missing)
{
    Message(meter_text::AdapterMissingText(Missing.Port, Missing.Wanted, Missing.NowThere) +
            " Podłącz adapter miernika albo wybierz port (--port, velt-cli ports).");
}

void CliView::ReportAdapterGone(const std::string& Port)
{
    Message(std::string(meter_text::kAdapterGone) + " (" + Port + ")");
}

void CliView::ReportOpenFailed(const PortOpenFailure& Failure)
{
    Message(std::string(meter_text::kOpenFailed) + " (" + OpenErrorText(Failure) + ")");
    if (Failure.Kind == ofAccessDenied)
        Message(meter_text::kAccessAdvice);
    else if (const std::string holders = PortHolderNote(Failure.Port, Failure.SystemError); !holders.empty())
        Message("Port " + Failure.Port + ": " + holders + ".");
}

void CliView::ReportLineErrors(TComErrors Errors)
{
    Message(LineErrorText(Errors));
    FLineFailed = true;
}

void CliView::ReportNoAnswer()
{
    Message(meter_text::kMeterError);
    Finish(Result::NoAnswer);
}

void CliView::ReportClockSet()
{
    Message(meter_text::kClockSet);
    Finish(Result::ClockSet);
}

void CliView::ReportClockFailed()
{
    Message(meter_text::kClockFailed);
    Finish(Result::ClockFailed);
}

void CliView::Finish(Result Value)
{
    ClearProgress();
    if (!FResult)
        FResult = Value;
}
