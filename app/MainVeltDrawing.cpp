// What the window draws of the program and the window's own part of its
// commands: the pane, the buttons, label and bar, the status line, boxes, the clipboard and
// the save dialog.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTextDocumentFragment>

#include "MainVelt.h"
#include "MessageBox.h"
#include "MeterTexts.h"
#include "ProgramCommand.h"
#include "RtfWriter.h"
#include "SaveFileDialog.h"
#include "ui_MainVelt.h"

void TForm1::Draw(const ProgramState& State)
{
    for (const CommandButton& button : CommandButtons())
        findChild<QWidget*>(QString::fromLatin1(button.Name))->setEnabled(State.CommandsEnabled);
    ui->lTransmisja->setVisible(State.TransferShown);
    ui->pb->setVisible(State.TransferShown);
    ui->pb->setValue(State.Progress);
    ui->lStatus->setText(QString::fromStdString(State.Status));
    ui->lStatus->setVisible(!State.Status.empty());
}

std::u16string TForm1::PaneText() const { return ui->Memo->toPlainText().toStdU16String(); }

void TForm1::SetPaneText(const std::u16string& Text) { ui->Memo->setPlainText(QString::fromStdU16String(Text)); }

std::u16string TForm1::NumberText() const { return ui->SpinEdit1->cleanText().toStdU16String(); }

void TForm1::ShowBox(const ProgramBox& Box)
{
    ShowMessageBox(this, QString::fromStdString(Box.Text), QString::fromStdString(Box.Caption),
                   Box.Kind == BoxKind::Error ? TMessageIcon::Error : TMessageIcon::None);
}

bool TForm1::ChoosePort() { return ComPort->ShowSettingsDialog(); }

std::string TForm1::AccessAdvice() const { return meter_text::kAccessAdvice; }

// Selects the whole pane and copies it as plain text, HTML and RTF. An empty
// selection leaves the clipboard as it was.
void TForm1::CopyPane()
{
    ui->Memo->selectAll();
    const QTextDocumentFragment selection = ui->Memo->textCursor().selection();
    const QString text = selection.toPlainText();
    if (text.isEmpty())
        return;
    const QByteArray rtf = QByteArray::fromStdString(TextToRtf(text));
    auto* mime = new QMimeData;
    mime->setText(text);
    mime->setHtml(selection.toHtml());
    mime->setData(QStringLiteral("text/rtf"), rtf);
    mime->setData(QStringLiteral("application/rtf"), rtf);
    QApplication::clipboard()->setMimeData(mime);
}

std::filesystem::path TForm1::AskSaveFileName()
{
    const QString name = ::AskSaveFileName(this, {QStringLiteral("Pliki tekstowe (*.txt)"), QStringLiteral("txt")});
    return std::filesystem::path(name.toStdU16String());
}

std::string TForm1::PaneRtf() const { return TextToRtf(ui->Memo->toPlainText()); }
