// The read commands of the main window: the session sends the request byte
// and collects the meter's text until the line has been silent for a second;
// the window shows it.
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>

#include "Cp1250.h"
#include "MainVelt.h"
#include "MessageBox.h"
#include "MeterRequests.h"
#include "MeterSession.h"
#include "MeterTexts.h"
#include "ui_MainVelt.h"

namespace {

// The meter ends its lines with CR LF; the pane keeps one break per line.
QString WithPlainLineBreaks(QString Text)
{
    Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text.replace(u'\r', u'\n');
    return Text;
}

} // namespace

void TForm1::ShowError(const QString& Text)
{
    ShowMessageBox(this, Text, QString::fromUtf8(meter_text::kErrorCaption), TMessageIcon::Error);
}

// The written message, and where the account may not use the device, what to
// do about it on a line of its own.
void TForm1::ReportOpenFailed(const std::string&, bool AccessDenied)
{
    QString text = QString::fromUtf8(meter_text::kOpenFailed);
    if (AccessDenied)
        text += u'\n' + QString::fromUtf8(meter_text::kAccessAdvice);
    ShowError(text);
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

void TForm1::bOstatniPomClick() { FSession->StartRead(LastMeasurementRequest()); }

void TForm1::bPomZPamClick() { FSession->StartRead(MeasurementRequest(MeasurementNumber())); }

void TForm1::bWszystPomClick() { FSession->StartRead(AllMeasurementsRequest()); }

void TForm1::ComPortRxChar(TComponent*, int32_t Count) { FSession->ReceiveFromPort(Count); }

void TForm1::ComPortError(TComponent*, TComErrors) { ShowMessage(this, QString::fromUtf8(meter_text::kChoosePort)); }

void TForm1::tOdbieranieTimer() { FSession->IdleTimerTick(); }

void TForm1::tMiernikPodlaczonyTimer() { FSession->WatchdogTick(); }

void TForm1::ReportNoAnswer()
{
    ShowError(QString::fromUtf8(meter_text::kMeterError));
    AppendLine(QString::fromUtf8(meter_text::kMeterErrorLine));
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

void TForm1::ShowTransfer()
{
    ui->lTransmisja->show();
    ui->pb->show();
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
