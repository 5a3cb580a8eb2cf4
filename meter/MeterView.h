#pragma once
// What a meter session shows: the window's pane, buttons and boxes, or the
// command-line tool's output and messages.
#include <cstddef>
#include <cstdint>
#include <string>

#include <velt/comport/ComError.h>
#include <velt/comport/ComTypes.h>

// The meter's stored adapter is not present: what Port (the stored name)
// leads to now is another device, or nothing.
struct MissingAdapter {
    std::string Port;
    std::string Wanted;   // the stored adapter, as the operator knows it
    std::string NowThere; // what the system lists under Port now; empty: nothing
};

// The port did not open: its name, the component's message and what the
// system's error number says (ofAccessDenied: the account may not use the
// device).
struct PortOpenFailure {
    std::string Port;
    std::string Message;
    TOpenFailure Kind = ofOther;
    int32_t SystemError = 0; // the platform's error number
};

class MeterView {
public:
    virtual ~MeterView() = default;

    virtual void ClearText() = 0;
    virtual void SetCommandsEnabled(bool Enabled) = 0;
    // Bytes are arriving: the transfer label and the progress bar appear.
    virtual void ShowTransfer() = 0;
    virtual void StepProgress(int Amount) = 0;
    // The transfer is over: label and bar hidden, bar back to 0, commands enabled.
    virtual void EndTransfer() = 0;
    // A complete answer, the meter's bytes as they came (Windows-1250).
    virtual void ShowAnswer(const std::string& Bytes) = 0;
    // The answer just shown was longer than a session keeps: only its first
    // KeptBytes came through. The window shows what it got and says nothing;
    // a view whose output feeds other programs says so.
    virtual void ReportAnswerCut(size_t /*KeptBytes*/) {}

    // The meter's adapter was found under another name (plugged in again),
    // and that port is used now. Said once, for each move.
    virtual void ReportPortFollowed(const std::string& /*From*/, const std::string& /*To*/) {}
    // More than one present port could be the meter's adapter and none was
    // opened: the operator chooses (the window opens its setup dialog).
    virtual void ReportPortAmbiguous(const std::string& /*Stored*/) {}
    // The meter's adapter is not there and nothing was opened, whatever
    // holds its name now: the operator chooses (the window opens its setup
    // dialog), or plugs the adapter in again.
    virtual void ReportAdapterMissing(const MissingAdapter& /*Missing*/) {}
    // The line hung up (the adapter was pulled out): the port is closed, and
    // the next command opens it again, wherever the adapter is then.
    virtual void ReportAdapterGone(const std::string& /*Port*/) {}

    // The port could not be opened.
    virtual void ReportOpenFailed(const PortOpenFailure& Failure) = 0;
    // The port reported line errors (told before the session takes them: a
    // hang-up, ceIO, then ends what waited for the meter).
    virtual void ReportLineErrors(TComErrors /*Errors*/) {}
    // A request got no byte at all within a second.
    virtual void ReportNoAnswer() = 0;
    virtual void ReportClockSet() = 0;
    virtual void ReportClockFailed() = 0;
};
