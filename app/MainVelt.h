#pragma once
// The main window: the text pane on the left with the status line under it
// (shown while there is one), the command panel on the right.
// The program itself (the port, the commands, what is shown when) is the
// MeterProgram; the window draws it and forwards its buttons, timers and
// closing to it.
#include <QDateTime>
#include <QWidget>
#include <functional>
#include <memory>

#include <velt/comport/CPort.h>

#include "ProgramWindow.h"

class LineLogDialog;
class MeterProgram;
class QAction;
class QCloseEvent;
class QTimer;
class QtMeterTimer;
namespace Ui {
class TForm1;
}

class TForm1 : public QWidget, private ProgramWindow {
    Q_OBJECT

public:
    explicit TForm1(QWidget* Parent = nullptr);
    ~TForm1() override;

    // The line to the meter, owned by the program and closed with the window.
    TComPort* ComPort = nullptr;

    // Where the handshake reads the date and time: the computer's clock,
    // unless a test puts a fixed moment here.
    std::function<QDateTime()> Clock = [] { return QDateTime::currentDateTime(); };

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    void CreateTimers();
    void ConnectHandlers();
    void AddLineLogCommand();

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
    std::string AccessAdvice() const override;
    void ShowLineLog(const std::string& Text) override;

    std::unique_ptr<Ui::TForm1> ui;
    QTimer* tOdbieranie = nullptr;
    QTimer* tMiernikPodlaczony = nullptr;
    QTimer* tUstawZegar = nullptr;
    std::unique_ptr<QtMeterTimer> FIdleTimer;
    std::unique_ptr<QtMeterTimer> FWatchdogTimer;
    std::unique_ptr<QtMeterTimer> FHandshakeTimer;
    // "Dziennik transmisji…": in the pane's context menu and on Ctrl+L.
    QAction* aDziennik = nullptr;
    LineLogDialog* FLineLogDialog = nullptr; // made when first shown
    std::unique_ptr<MeterProgram> FProgram;
};
