#pragma once
// The meter session as the command-line tool shows it: the answer is kept
// for the output, reports become messages on standard error, and a progress
// line is drawn there while bytes arrive (only on a terminal).
#include <cstdio>
#include <optional>
#include <string>

#include "MeterView.h"

class MeterSession;

class CliView : public MeterView {
public:
    enum class Result { Answered, NoAnswer, ClockSet, ClockFailed };

    // ClockCommand: the session sets the clock (its transfers end only with
    // the handshake's own result), else it reads.
    CliView(bool ClockCommand, std::FILE* Messages, bool ShowProgress);

    // The session whose counts the progress line shows.
    void Watch(const MeterSession& Session) { FSession = &Session; }

    const std::optional<Result>& Outcome() const { return FResult; }
    // The answer's bytes, once Outcome is Answered.
    const std::string& Answer() const { return FAnswer; }
    // Whether the answer was longer than the session keeps (its end is lost).
    bool AnswerCut() const { return FAnswerCut; }
    // Whether the line reported an error: what came may be damaged.
    bool LineFailed() const { return FLineFailed; }
    // Prints a message on its own line, below a progress line if one is drawn.
    void Message(const std::string& Text);

    void ClearText() override {}
    void SetCommandsEnabled(bool) override {}
    void ShowTransfer() override {}
    void StepProgress(int Amount) override;
    void EndTransfer() override;
    void ShowAnswer(const std::string& Bytes) override { FAnswer = Bytes; }
    void ReportAnswerCut(size_t KeptBytes) override;
    void ReportPortFollowed(const std::string& From, const std::string& To) override;
    void ReportPortAmbiguous(const std::string& Stored) override;
    void ReportAdapterMissing(const MissingAdapter& Missing) override;
    void ReportAdapterGone(const std::string& Port) override;
    void ReportOpenFailed(const PortOpenFailure& Failure) override;
    void ReportLineErrors(TComErrors Errors) override;
    void ReportNoAnswer() override;
    void ReportClockSet() override;
    void ReportClockFailed() override;

private:
    void ClearProgress();
    void Finish(Result Value);

    bool FClockCommand;
    std::FILE* FMessages;
    bool FShowProgress;
    const MeterSession* FSession = nullptr;
    size_t FProgressWidth = 0; // characters of the progress line on screen
    std::optional<Result> FResult;
    std::string FAnswer;
    bool FAnswerCut = false;
    bool FLineFailed = false;
};
