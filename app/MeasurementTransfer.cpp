// The read commands of the main window: one request byte out, the meter's
// text collected until the line has been silent for a second, then shown.
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>

#include "Cp1250.h"
#include "MainVelt.h"
#include "MessageBox.h"
#include "IntParse.h"
#include "ui_MainVelt.h"

namespace {

const QString kErrorCaption = QStringLiteral("Błąd");

// A meter's answer is a few kilobytes. A line that never falls silent must
// not fill the memory: what arrives beyond this is not kept.
constexpr size_t kMaxReceiveBuffer = 16 * 1024 * 1024;

// The meter ends its lines with CR LF; the pane keeps one break per line.
QString WithPlainLineBreaks(QString Text)
{
    Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text.replace(u'\r', u'\n');
    return Text;
}

} // namespace

void TForm1::ShowError(const QString& Text) { ShowMessageBox(this, Text, kErrorCaption, TMessageIcon::Error); }

// Opens the port when it is closed. A failure is shown to the operator, not
// raised; the result tells whether the port is open now.
bool TForm1::OpenPortIfClosed()
{
    if (ComPort->Connected())
        return true;
    try {
        ComPort->Open();
        return true;
    } catch (...) {
        ShowError(QStringLiteral("Wystąpił błąd podczas otwierania portu!"));
        return false;
    }
}

// The steps the three read commands share. A port that did not open still
// gets the write, whose failure goes to the exception report; the watchdog
// then brings the buttons back.
void TForm1::StartReadCommand(const std::string& Request)
{
    OpenPortIfClosed();
    ui->Memo->clear();
    SetCommandsEnabled(false);
    tMiernikPodlaczony->start();
    WriteToMeter(Request);
}

// A write that fails on an open port means the line is gone (an adapter
// pulled out): the port is closed so that the next command opens it afresh,
// and the failure goes on to the exception report.
void TForm1::WriteToMeter(const std::string& Bytes)
{
    try {
        ComPort->WriteText(Bytes);
    } catch (const EComPort&) {
        try {
            ComPort->Close();
        } catch (...) {
            // The write's failure is the one worth reporting.
        }
        throw;
    }
}

// The number field's text as a measurement number: 1 when it is not a number,
// and never outside the field's range, so that no other request byte can go out.
uint8_t TForm1::MeasurementNumber() const
{
    bool isNumber = false;
    int number = ui->SpinEdit1->cleanText().toInt(&isNumber);
    if (!isNumber)
        number = 1;
    return static_cast<uint8_t>(std::clamp(number, ui->SpinEdit1->minimum(), ui->SpinEdit1->maximum()));
}

void TForm1::bOstatniPomClick() { StartReadCommand("T"); }

void TForm1::bPomZPamClick() { StartReadCommand(std::string(1, static_cast<char>(MeasurementNumber()))); }

void TForm1::bWszystPomClick() { StartReadCommand("V"); }

void TForm1::ComPortRxChar(TComponent*, int32_t Count)
{
    tMiernikPodlaczony->stop();
    std::string received;
    ComPort->ReadText(received, Count);
    ui->lTransmisja->show();
    ui->pb->show();
    tOdbieranie->stop();
    tOdbieranie->start();
    if (tUstawZegar->isActive()) {
        // A handshake answer: each burst is a number of its own.
        tUstawZegar->stop();
        FReceivedReply = ParseLeadingInteger(received);
        tUstawZegar->start();
        StepProgress(33);
    } else {
        StepProgress(1);
        FReceiveBuffer.append(received, 0, kMaxReceiveBuffer - std::min(kMaxReceiveBuffer, FReceiveBuffer.size()));
    }
}

void TForm1::ComPortError(TComponent*, TComErrors) { ShowMessage(this, QStringLiteral("Wybierz port komunikacyjny")); }

// One second after the last burst: the transfer is over.
void TForm1::tOdbieranieTimer()
{
    EndTransfer();
    tOdbieranie->stop();
    if (!FReceiveBuffer.empty())
        ShowAnswer(FReceiveBuffer);
    FReceiveBuffer.clear();
}

// One second after a request that got no byte at all.
void TForm1::tMiernikPodlaczonyTimer()
{
    tMiernikPodlaczony->stop();
    ShowError(QStringLiteral("Wystąpił błąd komunikacji z miernikiem!"));
    AppendLine(QStringLiteral("Błąd komunikacji z miernikiem!"));
    SetCommandsEnabled(true);
}

// The pane takes the answer as zero-terminated text: a NUL byte ends it.
void TForm1::ShowAnswer(const std::string& Bytes)
{
    const std::string text = Bytes.substr(0, Bytes.find('\0'));
    const QString shown = WithPlainLineBreaks(cp1250::Decode(text));
    if (shown != ui->Memo->toPlainText())
        ui->Memo->setPlainText(shown);
}

// Adds a line below the pane's text, starting a new line unless the text
// already ends with a line break.
void TForm1::AppendLine(const QString& Line)
{
    QTextCursor cursor(ui->Memo->document());
    cursor.movePosition(QTextCursor::End);
    if (!cursor.block().text().isEmpty())
        cursor.insertBlock();
    cursor.insertText(Line);
}

void TForm1::SetCommandsEnabled(bool Enabled)
{
    for (QWidget* button : {ui->bUstawienia, ui->bPomZPam, ui->bOstatniPom, ui->bWszystPom, ui->bCzyscEkran,
                            ui->bKopiujDoSchowka, ui->bZapiszDoPliku, ui->bUstawZegar})
        button->setEnabled(Enabled);
}

// Moves the bar on, starting it again from 0 when the step would pass its end.
void TForm1::StepProgress(int Amount)
{
    if (ui->pb->value() + Amount > ui->pb->maximum())
        ui->pb->setValue(0);
    ui->pb->setValue(ui->pb->value() + Amount);
}

void TForm1::EndTransfer()
{
    ui->lTransmisja->hide();
    ui->pb->hide();
    ui->pb->setValue(0);
    SetCommandsEnabled(true);
}
