// The window itself: creating it with its timers and the program, and
// forwarding the buttons, the timers and closing to the program.
#include "MainVelt.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "LineLogDialog.h"
#include "MeterProgram.h"
#include "ProgramCommand.h"
#include "QtMeterTimer.h"
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

CalendarTime CalendarFrom(const QDateTime& Moment)
{
    return {Moment.date().year(), Moment.date().month(),  Moment.date().day(),
            Moment.time().hour(), Moment.time().minute(), Moment.time().second()};
}

} // namespace

TForm1::TForm1(QWidget* Parent) : QWidget(Parent), ui(std::make_unique<Ui::TForm1>())
{
    ui->setupUi(this);
    KeepPlaceWhenHidden(ui->lTransmisja);
    KeepPlaceWhenHidden(ui->pb);
    ui->pb->setMaximum(kProgressMaximum);
    setGeometry(269, 90, 541, 494); // the bounds the window returns to from maximized
    CreateTimers();
    FProgram = std::make_unique<MeterProgram>(static_cast<ProgramWindow&>(*this),
                                              MeterTimers{*FIdleTimer, *FWatchdogTimer, *FHandshakeTimer},
                                              [this] { return CalendarFrom(Clock()); });
    ComPort = &FProgram->Port();
    ConnectHandlers();
    AddLineLogCommand();
    FProgram->Start();
}

TForm1::~TForm1() { FProgram->Shutdown(); }

void TForm1::CreateTimers()
{
    tOdbieranie = NewTimer(this, "tOdbieranie", kIdleIntervalMs);
    tMiernikPodlaczony = NewTimer(this, "tMiernikPodlaczony", kWatchdogIntervalMs);
    tUstawZegar = NewTimer(this, "tUstawZegar", kHandshakeIntervalMs);
    FIdleTimer = std::make_unique<QtMeterTimer>(tOdbieranie);
    FWatchdogTimer = std::make_unique<QtMeterTimer>(tMiernikPodlaczony);
    FHandshakeTimer = std::make_unique<QtMeterTimer>(tUstawZegar);
}

void TForm1::ConnectHandlers()
{
    for (const CommandButton& button : CommandButtons()) {
        auto* widget = findChild<QPushButton*>(QString::fromLatin1(button.Name));
        const ProgramCommand command = button.Command;
        connect(widget, &QAbstractButton::clicked, this, [this, command] { FProgram->Run(command); });
    }
    connect(tOdbieranie, &QTimer::timeout, this, [this] { FProgram->IdleTick(); });
    connect(tMiernikPodlaczony, &QTimer::timeout, this, [this] { FProgram->WatchdogTick(); });
    connect(tUstawZegar, &QTimer::timeout, this, [this] { FProgram->HandshakeTick(); });
}

// The pane's own context menu with the log below it; the key works anywhere
// in the window and the menu shows it.
void TForm1::AddLineLogCommand()
{
    aDziennik = new QAction(QStringLiteral("Dziennik transmisji…"), this);
    aDziennik->setObjectName(QStringLiteral("aDziennik"));
    aDziennik->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    aDziennik->setShortcutVisibleInContextMenu(true);
    addAction(aDziennik);
    connect(aDziennik, &QAction::triggered, this, [this] { FProgram->ShowLineLog(); });
    ui->Memo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->Memo, &QWidget::customContextMenuRequested, this, [this](const QPoint& Position) {
        std::unique_ptr<QMenu> menu(ui->Memo->createStandardContextMenu(Position));
        menu->addSeparator();
        menu->addAction(aDziennik);
        menu->exec(ui->Memo->viewport()->mapToGlobal(Position));
    });
}

void TForm1::ShowLineLog(const std::string& Text)
{
    if (FLineLogDialog == nullptr)
        FLineLogDialog = new LineLogDialog(this, [this](const std::filesystem::path& File, const std::string& Saved) {
            FProgram->SaveLineLog(File, Saved);
        });
    FLineLogDialog->ShowText(Text);
}

void TForm1::closeEvent(QCloseEvent* Event)
{
    FProgram->StoreSettings();
    Event->accept();
}
