#include <velt/comport/ui/CPortSetup.h>

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <exception>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComSetup.h>
#include <velt/comport/framework/ExceptionReport.h>
#include <velt/comport/ui/CPortCtl.h>

#include "HandleNotifier.h"
#include "ui_CPortSetup.h"

namespace {

// The setup, read as the form is; a failure names the first list, as reading
// a form names the property it was reading.
std::unique_ptr<TComSetup> ReadSetup()
{
    try {
        return std::make_unique<TComSetup>();
    } catch (const std::exception& Error) {
        throw EReadError(std::string("Error reading Combo1.ComProperty: ") + Error.what());
    }
}

} // namespace

TComSetupFrm::TComSetupFrm(QWidget* Parent)
    : QDialog(Parent), FUi(std::make_unique<Ui::TComSetupFrm>()), FSetup(ReadSetup())
{
    FUi->setupUi(this);
    // A fixed dialog border: no resizing, no minimise or maximise button.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    // The labels first, so that the lists follow each other in the focus chain.
    for (int row = 0; row < static_cast<int>(FSetup->Lists().size()); ++row)
        AddLabel(row);
    for (int row = 0; row < static_cast<int>(FSetup->Lists().size()); ++row)
        AddList(row);
    FOk = AddButton("Button1", "OK");
    FOk->setDefault(true);
    connect(FOk, &QPushButton::clicked, this, &QDialog::accept);
    FCancel = AddButton("Button2", "Cancel");
    FCancel->setAutoDefault(false);
    connect(FCancel, &QPushButton::clicked, this, &QDialog::reject);
    if (FSetup->Watcher().Active())
        FWatchNotifier = NewHandleNotifier(FSetup->Watcher().Handle(), this, [this] { PortsMayHaveChanged(); });
}

TComSetupFrm::~TComSetupFrm()
{
    if (FWatchNotifier != nullptr)
        RetireHandleNotifier(FWatchNotifier); // before the handle it watches is closed
    // The lists draw the setup's lists: they go before the setup does.
    for (TComComboBox* combo : FCombos)
        delete combo;
}

void TComSetupFrm::AddLabel(int Row)
{
    const TSetupList& list = FSetup->Lists()[static_cast<size_t>(Row)];
    auto* label = new QLabel(QString::fromStdString(list.Caption()), FUi->GroupBox1);
    label->setObjectName("Label" + QString::number(Row + 1));
    label->setMinimumSize(65, 13);
    label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    FUi->GroupLayout->addWidget(label, Row, 0);
}

void TComSetupFrm::AddList(int Row)
{
    auto* combo = new TComComboBox(FUi->GroupBox1);
    combo->setObjectName("Combo" + QString::number(Row + 1));
    combo->setMinimumSize(129, 21);
    combo->DrawList(FSetup->Lists()[static_cast<size_t>(Row)]);
    FUi->GroupLayout->addWidget(combo, Row, 1);
    FCombos.push_back(combo);
}

QPushButton* TComSetupFrm::AddButton(const char* Name, const char* Text)
{
    auto* button = new QPushButton(QString::fromUtf8(Text), this);
    button->setObjectName(QString::fromUtf8(Name));
    button->setMinimumSize(75, 25);
    FUi->ButtonRow->addWidget(button);
    return button;
}

// The setup follows the ports; the port lists are drawn afresh. Runs inside
// Qt's event handling: a list that cannot be read goes to the exception
// report, and the lists stay as they were.
void TComSetupFrm::PortsMayHaveChanged()
{
    try {
        if (!FSetup->FollowPorts())
            return;
    } catch (...) {
        ReportException(std::current_exception());
        return;
    }
    for (size_t i = 0; i < FCombos.size(); ++i)
        FCombos[i]->DrawList(FSetup->Lists()[i]);
}

void TComSetupFrm::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier) {
        Event->accept();
        return;
    }
    QDialog::keyPressEvent(Event);
}

std::vector<TComComboBox*> TComSetupFrm::Combos() const { return FCombos; }

TComSetup& TComSetupFrm::Setup() const { return *FSetup; }

QPushButton* TComSetupFrm::OkButton() const { return FOk; }

QPushButton* TComSetupFrm::CancelButton() const { return FCancel; }

void ExecuteSetupDialog(TCustomComPort& Port, const TSetupDialogRunner& Run)
{
    TComSetupFrm dialog; // no owner; released on every path
    for (TComComboBox* combo : dialog.Combos())
        combo->SetComPort(&Port);
    const int result = Run ? Run(dialog) : dialog.exec();
    if (result == QDialog::Accepted)
        dialog.Setup().Apply(Port);
}

void InstallSetupDialog()
{
    TCustomComPort::SetSettingsDialog([](TCustomComPort& Port) { ExecuteSetupDialog(Port); });
}
