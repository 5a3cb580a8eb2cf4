#pragma once
// The main window on Windows: the rich-text pane on the left, the command
// panel on the right, the port to the meter, the three window timers, the
// settings commands and the commands that clear, copy and save the pane.
// The meter's protocol runs in a MeterSession on the window's port and
// timers; the window shows what the session reports.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <velt/comport/CPort.h>

#include "ClockHandshake.h"
#include "MeterView.h"
#include "SettingsPlace.h"

class MeterSession;
class WinMeterTimer;

// The window's controls, by their names in the form.
enum class TControl : int {
    Memo = 100,
    bUstawienia,
    Label2,
    SpinEdit1,
    SpinArrows,
    bPomZPam,
    bOstatniPom,
    bWszystPom,
    bCzyscEkran,
    bKopiujDoSchowka,
    bZapiszDoPliku,
    bUstawZegar,
    lTransmisja,
    pb,
};

class TForm1 : private MeterView {
public:
    // Creates the window (hidden) with its port; restores the settings.
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

    // The line to the meter, owned by the window and closed with it.
    std::unique_ptr<TComPort> ComPort;
    // Where the handshake reads the date and time: the computer's clock,
    // unless a test puts a fixed moment here.
    std::function<CalendarTime()> Clock;

    // Handlers.
    void FormCreate();
    void FormClose();
    void bUstawieniaClick();
    void bPomZPamClick();
    void bOstatniPomClick();
    void bWszystPomClick();
    void bCzyscEkranClick();
    void bKopiujDoSchowkaClick();
    void bZapiszDoPlikuClick();
    void bUstawZegarClick();
    void ComPortRxChar(TComponent* Sender, int32_t Count);
    void ComPortError(TComponent* Sender, TComErrors Errors);
    void tOdbieranieTimer();
    void tMiernikPodlaczonyTimer();
    void tUstawZegarTimer();

private:
    friend void PrepareWindowClasses();
    static LRESULT CALLBACK Procedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
    LRESULT Handle(UINT Message, WPARAM WParam, LPARAM LParam);
    void CreateControls();
    void PlaceControls();
    void CreatePort();
    void CreateSession();
    void Command(int Id, int Notification);
    void Timer(UINT_PTR Id);
    void Destroyed();
    int Scaled(int Pixels) const;
    uint8_t MeasurementNumber() const;
    void KeepNumberInRange();

    // What the session shows.
    void ClearText() override;
    void SetCommandsEnabled(bool Enabled) override;
    void ShowTransfer() override;
    void StepProgress(int Amount) override;
    void EndTransfer() override;
    void ShowAnswer(const std::string& Bytes) override;
    void ReportOpenFailed(const std::string& Reason, bool AccessDenied) override;
    void ReportNoAnswer() override;
    void ReportClockSet() override;
    void ReportClockFailed() override;

    SettingsPlaces FPlaces;
    HWND FWindow = nullptr;
    int FDpi = 96;
    HFONT FFont = nullptr;
    HFONT FTransferFont = nullptr;
    bool FQuitWhenDestroyed = false;
    std::unique_ptr<WinMeterTimer> tOdbieranie;
    std::unique_ptr<WinMeterTimer> tMiernikPodlaczony;
    std::unique_ptr<WinMeterTimer> tUstawZegar;
    std::unique_ptr<MeterSession> FSession;
};

// Registers the window class and loads the controls' libraries (common
// controls 6, the rich-text edit). Throws std::runtime_error on failure.
void PrepareWindowClasses();
