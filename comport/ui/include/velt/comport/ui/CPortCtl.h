#pragma once
/// @file
/// Drop-down lists bound to one setting of a port: TComSelect does the work
/// (fills the list, finds the port's current value, keeps and writes the
/// choice), TComComboBox is the pick-only combo box that shows it.
#include <velt/comport/Export.h>
#include <QComboBox>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComSettingsTable.h>
#include <velt/comport/PortDetails.h>
#include <velt/comport/framework/Exception.h>

/// The failure of reading a form description: names the object and property
/// being read and carries the message of the failure beneath.
class VELT_COMPORT_UI_EXPORT EReadError : public Exception {
public:
    using Exception::Exception;
};

/// What a TComComboBox does, without Qt: fills the item list of one port
/// setting (the row of the settings table that ComProperty names), finds the
/// port's current value, keeps and writes the choice.
class VELT_COMPORT_UI_EXPORT TComSelect {
public:
    /// Items is the owner's item list: filled and searched here, not owned.
    explicit TComSelect(std::vector<std::string>& AItems) : Items(AItems) {}

    std::vector<std::string>& Items;   ///< The owner's item list.
    TCustomComPort* ComPort = nullptr; ///< The bound port, or null.
    bool AutoApply = false;            ///< Whether a choice is written to the port at once.

    TComProperty ComProperty() const { return FComProperty; } ///< The setting the list edits.
    /// The text last chosen for Property; before any choice, the text of its
    /// first value (the empty name for cpPort). Each setting keeps its own.
    std::string Chosen(TComProperty Property) const;
    /// Stores the value and fills Items with the values it can take (the port
    /// list may raise EComPort; Items is then left empty).
    void SetComProperty(TComProperty Value);
    /// Takes a list text as the chosen value; writes it at once with AutoApply.
    void TakeChoice(const std::string& Text);
    /// Writes the chosen value through the bound port's ordinary setter.
    void WriteChoiceToPort();
    /// Sets ItemIndex to the position of the port's current value in Items (-1
    /// when absent) and adopts the listed text as the choice. Does nothing
    /// without a port or for cpNone.
    void FindCurrentValue(int& ItemIndex);
    /// For cpPort: adds the bound port's device name to Items when the list
    /// lacks it, whatever it is (an unplugged adapter, a COMn name, a path),
    /// so that the current value can be shown and kept. True when added.
    bool AddCurrentPort();

private:
    void StoreChoice(const std::string& Text);
    TComProperty FComProperty = cpNone;
    std::map<TComProperty, std::string> FChosen;
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

    TCustomComPort* ComPort() const { return FSelect.ComPort; } ///< The bound port, or null.
    /// Binds the port (or none) and shows its current value.
    void SetComPort(TCustomComPort* Value);
    TComProperty ComProperty() const { return FSelect.ComProperty(); } ///< The setting the list edits.
    /// Regenerates the list and selects the bound port's value, or the first
    /// item when no port is bound.
    void SetComProperty(TComProperty Value);
    bool AutoApply() const { return FSelect.AutoApply; }         ///< Whether a choice is written to the port at once.
    void SetAutoApply(bool Value) { FSelect.AutoApply = Value; } ///< Sets AutoApply().
    /// The selected value, or empty when nothing is selected. A port that is
    /// absent now is shown marked; its value is the plain name.
    QString Text() const;
    /// Selects the item equal to Value without regard to letter case; leaves
    /// the selection alone when there is none. A program's selection is not a
    /// choice: it is not taken or written.
    void SetText(const QString& Value);
    void WriteChoiceToPort() { FSelect.WriteChoiceToPort(); } ///< Writes the chosen value to the bound port.
    void ShowCurrentValue();                                  ///< Selects the bound port's current value.
    /// For cpPort: reads the port list again, keeping the selected port and
    /// the bound port's own name (each marked when it is gone). Runs by
    /// itself when the system says that ports came or went.
    void RefreshPortList();

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
    void MirrorItems();
    void AppendItem(const std::string& Value);
    void AddCurrentPort();
    void KeepPort(const std::string& Name);
    void ReadPortDetails();
    void WatchPorts(bool Watch);
    void PortsMayHaveChanged();
    void ShowItemHint();

    std::vector<std::string> FItems;
    TComSelect FSelect{FItems};
    std::vector<std::string> FListed;   // cpPort: the names the system lists now
    std::vector<TPortDetails> FDetails; // cpPort: what the system tells of them
    std::unique_ptr<TPortListWatcher> FWatcher;
    QObject* FWatchNotifier = nullptr;
};
