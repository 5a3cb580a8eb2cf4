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

class QCloseEvent;
class QTimer;
namespace Ui {
class TForm1;
}

class TForm1 : public QWidget {
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
    void ConnectHandlers();

    bool OpenPortIfClosed();
    void StartReadCommand(const std::string& Request);
    void WriteToMeter(const std::string& Bytes);
    uint8_t MeasurementNumber() const;
    void SetCommandsEnabled(bool Enabled);
    void StepProgress(int Amount);
    void EndTransfer();
    void ShowAnswer(const std::string& Bytes);
    void AppendLine(const QString& Line);
    void ShowError(const QString& Text);

    void SendClockCommand(int32_t Code);
    void SendClockValue(int32_t Value);
    void SendResync();
    void StepHandshake();
    int32_t ClockFieldValue(int32_t Code) const;
    void SendByte(int32_t Byte);
    void AbandonHandshake();

    std::unique_ptr<Ui::TForm1> ui;
    QTimer* tOdbieranie = nullptr;
    QTimer* tMiernikPodlaczony = nullptr;
    QTimer* tUstawZegar = nullptr;

    std::string FReceiveBuffer;

    int32_t FClockField = 0;
    int32_t FExpectedReply = 0;
    int32_t FReceivedReply = 0;
    int32_t FBytesSent = 0;
    bool FAwaitingCommandAck = false;
    bool FResyncing = false;
};
