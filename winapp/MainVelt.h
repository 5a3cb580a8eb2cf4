#pragma once
// The main window on Windows: the rich-text pane on the left with the status
// line under it, the command panel on the right, the three window timers. The
// program itself (the port, the commands, what is shown when) is the
// MeterProgram; the window draws it and forwards its buttons, timers and
// closing to it.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <velt/comport/CPort.h>

#include "ClockHandshake.h"
#include "ProgramCommand.h"
#include "ProgramWindow.h"
#include "SettingsPlace.h"

class LineLogWindow;
class MeterProgram;
class WinMeterTimer;

// The window's controls, by their names in the form; a command button's id
// is its row's in the command table.
enum class TControl : int {
    Memo = 100,
    bUstawienia = ButtonOf(ProgramCommand::Settings).ControlId,
    Label2,
    SpinEdit1,
    SpinArrows,
    bPomZPam = ButtonOf(ProgramCommand::MeasurementFromMemory).ControlId,
    bOstatniPom = ButtonOf(ProgramCommand::LastMeasurement).ControlId,
    bWszystPom = ButtonOf(ProgramCommand::AllMeasurements).ControlId,
    bCzyscEkran = ButtonOf(ProgramCommand::ClearPane).ControlId,
    bKopiujDoSchowka = ButtonOf(ProgramCommand::CopyPane).ControlId,
    bZapiszDoPliku = ButtonOf(ProgramCommand::SavePane).ControlId,
    bUstawZegar = ButtonOf(ProgramCommand::SetClock).ControlId,
    lTransmisja,
    pb,
    lStatus, // the status line under the pane, shown while there is one
};

// "Dziennik transmisji…": the pane's context menu item and the window's key (Ctrl+L).
constexpr int kLineLogCommand = 300;

class TForm1 : private ProgramWindow {
public:
    // Creates the window (hidden) with the program; restores the settings.
    // Places says where they are kept. Throws std::runtime_error when the
    // window cannot be created.
    explicit TForm1(SettingsPlaces Places = {});
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    HWND Handle() const { return FWindow; }
    HWND Control(TControl Which) const { return GetDlgItem(FWindow, static_cast<int>(Which)); }
    // Whether the window is gone (closed by the operator or a test).
    bool Closed() const { return FWindow == nullptr; }
    // The program ends when its main window is destroyed.
    void QuitWhenDestroyed() { FQuitWhenDestroyed = true; }
    // The window's keys (Ctrl+L): true when Message was one and is handled.
    bool TranslateKey(MSG& Message) const;
    // The line log's window, or null before it was first shown.
    HWND LineLogHandle() const;

    // The line to the meter, owned by the program and closed with the window.
    TComPort* ComPort = nullptr;
    // Where the handshake reads the date and time: the computer's clock,
    // unless a test puts a fixed moment here.
    std::function<CalendarTime()> Clock;

private:
    friend void PrepareWindowClasses();
    static LRESULT CALLBACK Procedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
    LRESULT Handle(UINT Message, WPARAM WParam, LPARAM LParam);
    void CreateControls();
    void PlaceControls();
    void CreateProgram();
    void Command(int Id, int Notification);
    void Timer(UINT_PTR Id);
    void Destroyed();
    int Scaled(int Pixels) const;
    void KeepNumberInRange();
    void DrawStatus(const std::string& Status);
    bool StatusShown() const;
    void ShowPaneMenu(LPARAM ScreenPoint);

    // What the program asks of the window.
    void Draw(const ProgramState& State) override;
    std::u16string PaneText() const override;
    void SetPaneText(const std::u16string& Text) override;
    std::u16string NumberText() const override;
    void ShowBox(const ProgramBox& Box) override;
    void CopyPane() override;
    std::filesystem::path AskSaveFileName() override;
    std::string PaneRtf() const override;
    bool ChoosePort() override;
    void ShowLineLog(const std::string& Text) override;

    SettingsPlaces FPlaces;
    HWND FWindow = nullptr;
    int FDpi = 96;
    HFONT FFont = nullptr;
    HFONT FTransferFont = nullptr;
    bool FQuitWhenDestroyed = false;
    std::unique_ptr<WinMeterTimer> tOdbieranie;
    std::unique_ptr<WinMeterTimer> tMiernikPodlaczony;
    std::unique_ptr<WinMeterTimer> tUstawZegar;
    std::unique_ptr<MeterProgram> FProgram;
    HACCEL FKeys = nullptr;
    std::unique_ptr<LineLogWindow> FLineLogWindow;
};

// Registers the window class and loads the controls' libraries (common
// controls 6, the rich-text edit). Throws std::runtime_error on failure.
void PrepareWindowClasses();
