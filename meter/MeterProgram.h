#pragma once
// The program as both windows run it, without a window: the port to the
// meter and where its settings are kept, the commands, the measurement
// number, the answer as pane text, the progress and the buttons' state, the
// boxes, and what closing the window does to a transfer. A window draws the
// state and the pane, forwards its buttons, timers and closing here, and
// does the clipboard and the save dialog.
//
// Every entry point runs on the main thread and reports an exception through
// the framework's exception report instead of passing it on: nothing may
// unwind through a window system's frames.
#include <functional>
#include <memory>
#include <string>

#include "ClockHandshake.h"
#include "LineHistory.h"
#include "MeterTimer.h"
#include "MeterView.h"
#include "ProgramCommand.h"
#include "ProgramWindow.h"
#include "SettingsPlace.h"

class MeterSession;
class TComPort;

class MeterProgram : private MeterView {
public:
    // Window draws the program; Timers are the window's (idle, watchdog,
    // handshake); Now reads the computer's clock for the handshake.
    MeterProgram(ProgramWindow& Window, MeterTimers Timers, std::function<CalendarTime()> Now,
                 SettingsPlaces Places = {});
    ~MeterProgram() override;
    MeterProgram(const MeterProgram&) = delete;
    MeterProgram& operator=(const MeterProgram&) = delete;

    // The line to the meter, closed with the program.
    TComPort& Port() { return *FPort; }
    const ProgramState& State() const { return FState; }

    // The window is there: the stored settings are restored and the idle
    // timer starts (its first tick finds nothing to show).
    void Start();
    void Run(ProgramCommand Command);
    // A timer of the window fired. A tick of a timer stopped meanwhile is dropped.
    void IdleTick();
    void WatchdogTick();
    void HandshakeTick();
    // The window closes: the settings are stored. A failure is reported and
    // the window closes all the same (see the README).
    void StoreSettings();
    // The window goes away, a transfer perhaps running: the timers stop, the
    // port's notifications no longer reach the window, the port closes.
    void Shutdown();

    // "Dziennik transmisji…": the recent line log in a window of its own.
    void ShowLineLog();
    // "Zapisz…" of that window: Text as a text file, replacing any file of
    // the chosen name whole.
    void SaveLineLog(const std::filesystem::path& File, const std::string& Text);

    // The number field's value as the memory request sends it.
    uint8_t MeasurementNumber() const;

private:
    void RunCommand(ProgramCommand Command);
    void RunOnMeter(const std::function<void()>& Start);
    void SetStatus(const std::string& Text);
    void SavePane();
    void AppendLine(const std::string& Line);
    void ShowError(const std::string& Text);
    void SayWhatTheLineShows(int WaitedMs);
    void Redraw();

    // What the session shows.
    void ClearText() override;
    void SetCommandsEnabled(bool Enabled) override;
    void ShowTransfer() override;
    void StepProgress(int Amount) override;
    void EndTransfer() override;
    void ShowAnswer(const std::string& Bytes) override;
    void ReportOpenFailed(const PortOpenFailure& Failure) override;
    void ReportLineErrors(TComErrors Errors) override;
    void ReportNoAnswer() override;
    void ReportClockSet() override;
    void ReportClockFailed() override;
    void ReportPortFollowed(const std::string& From, const std::string& To) override;
    void ReportPortAmbiguous(const std::string& Stored) override;
    void ReportAdapterMissing(const MissingAdapter& Missing) override;
    void ReportAdapterGone(const std::string& Port) override;

    ProgramWindow& FWindow;
    MeterTimers FTimers;
    SettingsPlaces FPlaces;
    ProgramState FState;
    std::unique_ptr<TComPort> FPort;
    std::unique_ptr<MeterSession> FSession;
    LineHistory FHistory;
    uint64_t FCommandMark = 0;  // the first record of the command under way
    bool FStatusSaid = false;   // the command under way has set the status
    bool FPortToChoose = false; // the command under way found no port it could tell apart
};
