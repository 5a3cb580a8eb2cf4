#pragma once
/// @file
/// The port setup dialog: six lists that edit a port's device name and line
/// format, written to the port when the operator confirms with OK.
#include <velt/comport/Export.h>
#include <QDialog>
#include <array>
#include <functional>
#include <memory>

class QPushButton;
class TComComboBox;
class TCustomComPort;
namespace Ui {
class TComSetupFrm;
}

/// The dialog, made from its Designer form (CPortSetup.ui).
class VELT_COMPORT_UI_EXPORT TComSetupFrm : public QDialog {
    Q_OBJECT
public:
    /// Reading the form fills the lists; the port list may fail (EReadError
    /// naming Combo1.ComProperty), and then no dialog is made.
    explicit TComSetupFrm(QWidget* Parent = nullptr);
    ~TComSetupFrm() override;

    /// Combo1 to Combo6: port, baud rate, data bits, stop bits, parity and
    /// flow control.
    std::array<TComComboBox*, 6> Combos() const;
    QPushButton* OkButton() const;     ///< The OK button.
    QPushButton* CancelButton() const; ///< The Cancel button.

protected:
    /// No button answers the Escape key: the dialog ends with OK, Cancel or
    /// the window's close button.
    void keyPressEvent(QKeyEvent* Event) override;

private:
    std::unique_ptr<Ui::TComSetupFrm> FUi;
};

/// Shows the dialog modally and returns how it ended (QDialog::Accepted or
/// Rejected). The default runs exec(); tests pass one that acts as the operator.
using TSetupDialogRunner = std::function<int(TComSetupFrm& Dialog)>;

/// Shows the dialog for Port and, on OK, writes the six choices to it in one
/// settings update, so that an open port is reconfigured once. Cancel or the
/// window's close button writes nothing. A failing write ends the update and
/// propagates.
VELT_COMPORT_UI_EXPORT void ExecuteSetupDialog(TCustomComPort& Port, const TSetupDialogRunner& Run = {});

/// Makes TCustomComPort::ShowSettingsDialog run ExecuteSetupDialog.
VELT_COMPORT_UI_EXPORT void InstallSetupDialog();
