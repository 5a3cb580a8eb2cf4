#pragma once
// The main window: the text pane on the left, the command panel on the right,
// the port to the meter, the read commands, the clock-setting handshake and
// the commands that clear, copy and save the pane.
#include <QDateTime>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <velt/comport/CPort.h>

#include "MeterView.h"

class MeterSession;
struct CalendarTime;
class QCloseEvent;
class QTimer;
class QtMeterTimer;
namespace Ui {
class TForm1;
}

// The meter's protocol runs in a MeterSession on the window's port and
// timers; the window shows what the session reports.
class TForm1 : public QWidget, private MeterView {
    Q_OBJECT

public:
    explicit TForm1(QWidget* Parent = nullptr);
    ~TForm1() override;

    // The line to the meter, owned by the window and closed with it.
    std::unique_ptr<TComPort> ComPort;

    // Where the handshake reads the date and time: the computer's clock,
    // unless a test puts a fixed moment here.
    std::function<QDateTime()> Clock = [] { return QDateTime::currentDateTime(); };

    // Handlers, connected by name in ConnectHandlers.
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

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    void CreatePort();
    void CreateTimers();
    void CreateSession();
    void ConnectHandlers();

    uint8_t MeasurementNumber() const;
    void AppendLine(const QString& Line);
    void ShowError(const QString& Text);
    CalendarTime ClockNow() const;

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

    std::unique_ptr<Ui::TForm1> ui;
    QTimer* tOdbieranie = nullptr;
    QTimer* tMiernikPodlaczony = nullptr;
    QTimer* tUstawZegar = nullptr;
    std::unique_ptr<QtMeterTimer> FIdleTimer;
    std::unique_ptr<QtMeterTimer> FWatchdogTimer;
    std::unique_ptr<QtMeterTimer> FHandshakeTimer;
    std::unique_ptr<MeterSession> FSession;
};
