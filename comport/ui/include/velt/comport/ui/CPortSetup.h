#pragma once
/// @file
/// The port setup dialog: a list for each setting of the component's setup
/// (TComSetup: the device name and the line format), written to the port
/// when the operator confirms with OK. The dialog draws the setup and
/// forwards the operator's picks; the setup decides.
#include <velt/comport/Export.h>
#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

class QPushButton;
class TComComboBox;
class TComSetup;
class TCustomComPort;
namespace Ui {
class TComSetupFrm;
}

/// The dialog, made from its Designer form (CPortSetup.ui) with a label
/// (Label1, Label2, ...) and a list (Combo1, Combo2, ...) per list of the
/// setup, then OK (Button1) and Cancel (Button2).
class VELT_COMPORT_UI_EXPORT TComSetupFrm : public QDialog {
    Q_OBJECT
public:
    /// Making the dialog reads the setup; the port list may fail (EReadError
    /// naming Combo1.ComProperty), and then no dialog is made.
    explicit TComSetupFrm(QWidget* Parent = nullptr);
    ~TComSetupFrm() override;

    /// Combo1, Combo2, ...: port, baud rate, data bits, stop bits, parity
    /// and flow control, in the setup's order.
    std::vector<TComComboBox*> Combos() const;
    TComSetup& Setup() const;          ///< What the dialog draws.
    QPushButton* OkButton() const;     ///< The OK button.
    QPushButton* CancelButton() const; ///< The Cancel button.

protected:
    /// No button answers the Escape key: the dialog ends with OK, Cancel or
    /// the window's close button.
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void AddLabel(int Row);
    void AddList(int Row);
    QPushButton* AddButton(const char* Name, const char* Text);
    void PortsMayHaveChanged();

    std::unique_ptr<Ui::TComSetupFrm> FUi;
    std::unique_ptr<TComSetup> FSetup;
    std::vector<TComComboBox*> FCombos;
    QPushButton* FOk = nullptr;
    QPushButton* FCancel = nullptr;
    QObject* FWatchNotifier = nullptr;
};

/// Shows the dialog modally and returns how it ended (QDialog::Accepted or
/// Rejected). The default runs exec(); tests pass one that acts as the operator.
using TSetupDialogRunner = std::function<int(TComSetupFrm& Dialog)>;

/// Shows the dialog for Port and, on OK, writes the choices to it in one
/// settings update (TComSetup::Apply()), so that an open port is
/// reconfigured once. Cancel or the window's close button writes nothing. A
/// failing write ends the update and propagates.
VELT_COMPORT_UI_EXPORT void ExecuteSetupDialog(TCustomComPort& Port, const TSetupDialogRunner& Run = {});

/// Makes TCustomComPort::ShowSettingsDialog run ExecuteSetupDialog.
VELT_COMPORT_UI_EXPORT void InstallSetupDialog();
