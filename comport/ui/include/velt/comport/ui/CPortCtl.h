#pragma once
/// @file
/// The drop-down list bound to one setting of a port: TComComboBox draws a
/// TSetupList of the component (which fills the list, finds the port's
/// current value, keeps and writes the choice) and forwards the operator's
/// picks to it.
#include <velt/comport/Export.h>
#include <QComboBox>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComSettingsTable.h>
#include <velt/comport/ComSetup.h>
#include <velt/comport/framework/Exception.h>

/// The failure of reading a form description: names the object and property
/// being read and carries the message of the failure beneath.
class VELT_COMPORT_UI_EXPORT EReadError : public Exception {
public:
    using Exception::Exception;
};

/// A pick-only combo box that lists the values of one setting of a port
/// (ComProperty()) and writes the choice to the port. The port list shows
/// each port with what the system tells of it (its product, maker, serial
/// number, USB location), so that an adapter can be told from the rest, and
/// follows ports that are plugged in or pulled out while it is shown.
class VELT_COMPORT_UI_EXPORT TComComboBox : public QComboBox {
    Q_OBJECT
public:
    /// Lets a form description name the values as TComComboBox::cpPort.
    using enum TComProperty;

    explicit TComComboBox(QWidget* Parent = nullptr); ///< An empty list bound to no port.
    ~TComComboBox() override;

    TCustomComPort* ComPort() const { return FComPort; } ///< The bound port, or null.
    /// Binds the port (or none) and shows its current value.
    void SetComPort(TCustomComPort* Value);
    TComProperty ComProperty() const
    {
        return FList != nullptr ? FList->ComProperty() : cpNone;
    } ///< The setting the list edits.
    /// Regenerates the list and selects the bound port's value, or the first
    /// item when no port is bound.
    void SetComProperty(TComProperty Value);
    bool AutoApply() const { return FAutoApply; }         ///< Whether a choice is written to the port at once.
    void SetAutoApply(bool Value) { FAutoApply = Value; } ///< Sets AutoApply().
    /// The selected value, or empty when nothing is selected. A port that is
    /// absent now is shown marked; its value is the plain name.
    QString Text() const;
    /// Selects the item equal to Value without regard to letter case; leaves
    /// the selection alone when there is none. A program's selection is not a
    /// choice: it is not taken or written.
    void SetText(const QString& Value);
    void WriteChoiceToPort(); ///< Writes the chosen value to the bound port.
    void ShowCurrentValue();  ///< Selects the bound port's current value.
    /// For cpPort: reads the port list again, keeping the selected port and
    /// the bound port's own name (each marked when it is gone). Runs by
    /// itself when the system says that ports came or went.
    void RefreshPortList();

    /// Draws List, a list of a whole setup (TComSetup) that its dialog
    /// follows, instead of a list of its own, as it is now (also after the
    /// setup read the ports again). List outlives the box.
    void DrawList(TSetupList& List);

    /// The setter the form reader (uic) calls: a failure becomes a reading
    /// error that names this list and the property.
    void setComProperty(TComProperty Value);

signals:
    /// The user picked an item, and the choice has been taken.
    void Changed();

protected:
    /// Shows the selected item cut short with an ellipsis where the box is
    /// narrower than its text (a port's description is longer than the box).
    void paintEvent(QPaintEvent* Event) override;

private:
    void UserPicked(int Index);
    void PortRemoved(TComponent* Component);
    void Draw();
    void WatchPorts(bool Watch);
    void PortsMayHaveChanged();
    void ShowItemHint();

    TCustomComPort* FComPort = nullptr;
    bool FAutoApply = false;
    std::unique_ptr<TSetupList> FOwnList; // the list of a box on its own
    TSetupList* FList = nullptr;          // the list drawn: its own or a setup's
    std::unique_ptr<TPortListWatcher> FWatcher;
    QObject* FWatchNotifier = nullptr;
};
