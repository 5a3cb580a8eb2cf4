#pragma once
/// @file
/// The port's settings as one table. Each row is one setting: its stored
/// name, its command-line word, its group, its texts or number range, how it
/// is read from and written to a port, and what a list of it offers. Settings
/// storage, the setup dialogs and the command line walk these rows instead of
/// naming settings one by one, so a new setting is one new row.
///
/// Plain C++: no user-interface library, no platform header.
#include <velt/comport/Export.h>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <velt/comport/ComTypes.h>

class TCustomComPort;
struct TPortSettingRow;

/// Which port setting a setup list edits (cpNone: none).
enum TComProperty : uint8_t { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

/// What a setting's value is, and so how it is written as text.
enum TSettingKind : uint8_t {
    skName,   ///< A text that must not be empty (the device name); lists offer the ports present.
    skList,   ///< One of Texts() (an enumeration, or "No"/"Yes").
    skRate,   ///< One of Texts(), or a number in [Min(), Max()] that no text names (the custom rate).
    skNumber, ///< A whole number in [Min(), Max()]; stores keep it as a number.
    skChar,   ///< One byte: the character itself, or "#" and its code (0 to 255).
};

/// One row of the settings table. A cheap handle: copy it freely; the row it
/// refers to lives as long as the program.
class VELT_COMPORT_EXPORT TPortSetting {
public:
    /// A handle on Row, one of the table's own rows (PortSettings() hands
    /// them out; a program has no rows of its own to make).
    explicit TPortSetting(const TPortSettingRow& Row) : FRow(&Row) {}

    /// The name values are stored under: "BaudRate", "FlowControl.ControlRTS".
    const char* Name() const;
    /// The command line's word for it, without the leading "--": "baud".
    const char* Option() const;
    /// What it is, for people (in Polish, as the program speaks).
    const char* Description() const;
    TSettingsGroup Group() const; ///< The group it is stored with.
    TSettingKind Kind() const;    ///< What its value is.
    /// The setup list that edits it, cpNone when no list of the dialog does.
    TComProperty ComProperty() const;
    /// The label of its setup list ("Prędkość"); the stored name where no
    /// setup list edits it.
    const char* Caption() const;
    /// skList, skRate: the texts of its values in ordinal order; else empty.
    std::span<const char* const> Texts() const;
    int32_t Min() const; ///< skNumber, skRate: the least number it takes.
    int32_t Max() const; ///< skNumber, skRate: the greatest number it takes.
    /// Whether it is a setting for those who know their driver, which the
    /// setup dialogs leave out (ComProperty() is cpNone) though it belongs
    /// with the group they edit; stores and the command line have it.
    bool Advanced() const;
    /// Whether stores keep it only while it is not at its default (the first
    /// of Texts()): a store of default settings has no value of it, and a
    /// store without one gives the default.
    bool StoredOnlyWhenSet() const;
    /// Whether stores keep it as a number rather than a text (skNumber).
    bool IsNumber() const { return Kind() == skNumber; }

    /// The port's value as text: the name, the value's text, the character
    /// as stored ("A", "#17") or the number in decimal.
    std::string Text(const TCustomComPort& Port) const;
    /// Sets the value a stored text gives, as a store is read: a text that
    /// names no value gives the setting's fallback (as TextToBaudRate() and
    /// its kin do), a number that cannot be read leaves the value alone.
    /// Goes through the port's ordinary setter.
    void SetText(TCustomComPort& Port, const std::string& Text) const;
    /// skNumber: the port's value.
    int32_t Number(const TCustomComPort& Port) const;
    /// skNumber: sets the value. skRate: sets the rate to Value bits per
    /// second, the named rate that has it or else brCustom with that
    /// CustomBaudRate.
    void SetNumber(TCustomComPort& Port, int32_t Value) const;

    /// Whether Text is a value a person may give: one of Texts() in any
    /// letter case, a whole number within the range, a character, a name
    /// that is not empty. Nothing is trimmed.
    bool Accepts(const std::string& Text) const;
    /// Sets a value that Accepts() takes.
    void SetTyped(TCustomComPort& Port, const std::string& Text) const;
    /// What a list of it offers, in order: Texts(), or for skName the ports
    /// present (ListPortNames(), which may throw EComPort); empty for numbers
    /// and characters.
    std::vector<std::string> Choices() const;

private:
    const TPortSettingRow* FRow;
};

/// Every setting, in the order stores write them: the groups in the order
/// sgBasic, sgExtras, sgParityDetails, sgBuffer, sgTimeouts, sgFlowDetails.
VELT_COMPORT_EXPORT std::span<const TPortSetting> PortSettings();
/// The row stored under Name (exact letter case), or null.
VELT_COMPORT_EXPORT const TPortSetting* FindPortSetting(std::string_view Name);
/// The row whose command-line word is Option (without "--"), or null.
VELT_COMPORT_EXPORT const TPortSetting* FindPortSettingOption(std::string_view Option);
/// The row a setup list of Property edits, or null for cpNone.
VELT_COMPORT_EXPORT const TPortSetting* PortSettingOf(TComProperty Property);
