#include <velt/comport/ui/CPortSetup.h>

#include <QKeyEvent>

#include <velt/comport/ui/CPortCtl.h>
#include <velt/comport/ComPort.h>
#include "ui_CPortSetup.h"

TComSetupFrm::TComSetupFrm(QWidget* Parent) : QDialog(Parent), FUi(std::make_unique<Ui::TComSetupFrm>())
{
    FUi->setupUi(this);
    // A fixed dialog border: no resizing, no minimise or maximise button.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
}

TComSetupFrm::~TComSetupFrm() = default;

void TComSetupFrm::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier) {
        Event->accept();
        return;
    }
    QDialog::keyPressEvent(Event);
}

std::array<TComComboBox*, 6> TComSetupFrm::Combos() const
{
    return {FUi->Combo1, FUi->Combo2, FUi->Combo3, FUi->Combo4, FUi->Combo5, FUi->Combo6};
}

QPushButton* TComSetupFrm::OkButton() const { return FUi->Button1; }

QPushButton* TComSetupFrm::CancelButton() const { return FUi->Button2; }

namespace {

// One settings update around the six writes: an open port gets its queue
// sizes, line settings and timeouts once, after the last write. The update is
// ended also when a write fails, and the failure goes on to the caller.
void WriteChoices(TCustomComPort& Port, const std::array<TComComboBox*, 6>& Combos)
{
    Port.BeginSettingsUpdate();
    try {
        for (TComComboBox* combo : Combos)
            combo->WriteChoiceToPort();
    } catch (...) {
        Port.EndSettingsUpdate();
        throw;
    }
    Port.EndSettingsUpdate();
}

} // namespace

void ExecuteSetupDialog(TCustomComPort& Port, const TSetupDialogRunner& Run)
{
    TComSetupFrm dialog; // no owner; released on every path
    const auto combos = dialog.Combos();
    for (TComComboBox* combo : combos)
        combo->SetComPort(&Port);
    for (TComComboBox* combo : combos)
        combo->ShowCurrentValue();
    const int result = Run ? Run(dialog) : dialog.exec();
    if (result == QDialog::Accepted)
        WriteChoices(Port, combos);
}

void InstallSetupDialog()
{
    TCustomComPort::SetSettingsDialog([](TCustomComPort& Port) { ExecuteSetupDialog(Port); });
}
