// The window itself: creating it with its port and timers, connecting the
// handlers, the settings commands and the commands that work on the pane.
#include "MainVelt.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QMimeData>
#include <QTextDocumentFragment>
#include <QTimer>

#include "BinaryFile.h"
#include "HandlerGuard.h"
#include "MeterPort.h"
#include "MeterSession.h"
#include "QtMeterTimer.h"
#include "RtfWriter.h"
#include "SaveFileDialog.h"
#include "ui_MainVelt.h"

namespace {

// A timer of the window, named as the handlers refer to it.
QTimer* NewTimer(QObject* Owner, const char* Name, int IntervalMs)
{
    auto* timer = new QTimer(Owner);
    timer->setObjectName(QString::fromLatin1(Name));
    timer->setInterval(IntervalMs);
    return timer;
}

// The transfer's label and bar keep their place in the panel while hidden,
// so the panel's height (at least the designed 460 pixels) and the buttons
// above them stay put when a read shows them.
void KeepPlaceWhenHidden(QWidget* Widget)
{
    QSizePolicy policy = Widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    Widget->setSizePolicy(policy);
}

} // namespace

TForm1::TForm1(QWidget* Parent) : QWidget(Parent), ui(std::make_unique<Ui::TForm1>())
{
    ui->setupUi(this);
    KeepPlaceWhenHidden(ui->lTransmisja);
    KeepPlaceWhenHidden(ui->pb);
    setGeometry(269, 90, 541, 494); // the bounds the window returns to from maximized
    CreatePort();
    CreateTimers();
    CreateSession();
    ConnectHandlers();
    RunGuarded([this] { FormCreate(); });
}

TForm1::~TForm1()
{
    // Closing the port serves hand-overs still in flight; they must no longer
    // reach a window that is half gone.
    ComPort->OnRxChar = nullptr;
    ComPort->OnError = nullptr;
    ComPort.reset();
}

// The port with the window's own settings, applied as one load.
void TForm1::CreatePort()
{
    ComPort = std::make_unique<TComPort>(nullptr);
    ApplyMeterPortSettings(*ComPort);
}

void TForm1::CreateTimers()
{
    tOdbieranie = NewTimer(this, "tOdbieranie", kIdleIntervalMs);
    tMiernikPodlaczony = NewTimer(this, "tMiernikPodlaczony", kWatchdogIntervalMs);
    tUstawZegar = NewTimer(this, "tUstawZegar", kHandshakeIntervalMs);
    tOdbieranie->start(); // enabled from the start; its first tick finds nothing to show
}

void TForm1::CreateSession()
{
    FIdleTimer = std::make_unique<QtMeterTimer>(tOdbieranie);
    FWatchdogTimer = std::make_unique<QtMeterTimer>(tMiernikPodlaczony);
    FHandshakeTimer = std::make_unique<QtMeterTimer>(tUstawZegar);
    FSession = std::make_unique<MeterSession>(*ComPort, MeterTimers{*FIdleTimer, *FWatchdogTimer, *FHandshakeTimer},
                                              static_cast<MeterView&>(*this), [this] { return ClockNow(); });
}

void TForm1::ConnectHandlers()
{
    const auto click = [this](QAbstractButton* Button, void (TForm1::*Handler)()) {
        connect(Button, &QAbstractButton::clicked, this, Guarded(this, Handler));
    };
    click(ui->bUstawienia, &TForm1::bUstawieniaClick);
    click(ui->bPomZPam, &TForm1::bPomZPamClick);
    click(ui->bOstatniPom, &TForm1::bOstatniPomClick);
    click(ui->bWszystPom, &TForm1::bWszystPomClick);
    click(ui->bCzyscEkran, &TForm1::bCzyscEkranClick);
    click(ui->bKopiujDoSchowka, &TForm1::bKopiujDoSchowkaClick);
    click(ui->bZapiszDoPliku, &TForm1::bZapiszDoPlikuClick);
    click(ui->bUstawZegar, &TForm1::bUstawZegarClick);

    connect(tOdbieranie, &QTimer::timeout, this, Guarded(this, &TForm1::tOdbieranieTimer));
    connect(tMiernikPodlaczony, &QTimer::timeout, this, Guarded(this, &TForm1::tMiernikPodlaczonyTimer));
    connect(tUstawZegar, &QTimer::timeout, this, Guarded(this, &TForm1::tUstawZegarTimer));

    ComPort->OnRxChar = [this](TComponent* Sender, int32_t Count) {
        RunGuarded([&] { ComPortRxChar(Sender, Count); });
    };
    ComPort->OnError = [this](TComponent* Sender, TComErrors Errors) {
        RunGuarded([&] { ComPortError(Sender, Errors); });
    };
}

void TForm1::FormCreate() { ComPort->RestoreSettings(ssRegistry, kSettingsLocation); }

void TForm1::FormClose() { ComPort->SaveSettings(ssRegistry, kSettingsLocation); }

// The settings are stored as the window closes. A failure is reported and
// the window closes all the same: a store that refuses the settings would
// refuse them at every attempt, and a failed save leaves the stored file as
// it was, so nothing stored before is lost.
void TForm1::closeEvent(QCloseEvent* Event)
{
    RunGuarded([this] { FormClose(); });
    Event->accept();
}

void TForm1::bUstawieniaClick() { ComPort->ShowSettingsDialog(); }

void TForm1::bCzyscEkranClick() { ClearText(); }

void TForm1::ClearText() { ui->Memo->clear(); }

// Selects the whole pane and copies it as plain text, HTML and RTF. An empty
// selection leaves the clipboard as it was.
void TForm1::bKopiujDoSchowkaClick()
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

// Writes the pane as an RTF document to the file the operator names.
void TForm1::bZapiszDoPlikuClick()
{
    const QString fileName = AskSaveFileName(this, {QStringLiteral("Pliki tekstowe (*.txt)"), QStringLiteral("txt")});
    if (fileName.isEmpty())
        return;
    WriteWholeFile(fileName, TextToRtf(ui->Memo->toPlainText()));
}
