#pragma once
/// @file
/// The port's setup, without any user-interface library: the lists a setup
/// dialog shows (one per setting of the settings table that a setup list
/// edits, with its label and entries), which entry each shows, the operator's
/// choices, the port list that follows adapters plugged in or pulled out, and
/// the writing of every choice in one settings update. The Qt dialog
/// (comport/ui) and the Windows program's dialog only draw it and forward the
/// operator's picks; a program with a toolkit of its own gets the same setup
/// by drawing it too.
#include <velt/comport/Export.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <velt/comport/ComSettingsTable.h>
#include <velt/comport/PortDetails.h>

class TCustomComPort;

/// One entry of a setup list.
struct VELT_COMPORT_EXPORT TSetupEntry {
    std::string Value; ///< what is written to the port: "ttyUSB0", "9600"
    /// What the list shows: the value; a port with what the system tells of
    /// it ("ttyUSB0 – FT232R USB UART (FTDI), nr A1B2, USB 1-1"), or marked
    /// " (brak)" when the system does not have it now.
    std::string Text;
    std::string Hint;     ///< the rest that is known, a line per fact; empty when nothing more
    std::string Identity; ///< a listed USB adapter's identity (PortIdentity()), else empty
    bool Listed = false;  ///< whether the system lists the port now
};

/// The entry that shows the port named Name, Listed being the ports the
/// system lists now (ListPortDetails()).
VELT_COMPORT_EXPORT TSetupEntry PortEntryOf(const std::string& Name, const std::vector<TPortDetails>& Listed);

/// One list of the setup: the values one setting can take, which of them it
/// shows, and the value chosen for the port. What it shows and what is chosen
/// differ: a program may show a value, only the operator (or the port's own
/// value) chooses one.
class VELT_COMPORT_EXPORT TSetupList {
public:
    /// The list of Property (cpNone: an empty list). The port list is read
    /// (ListPortDetails(); EComPort when it cannot be read).
    explicit TSetupList(TComProperty Property);

    TComProperty ComProperty() const { return FProperty; }               ///< The setting it edits.
    std::string Caption() const;                                         ///< Its label; empty for cpNone.
    const std::vector<TSetupEntry>& Entries() const { return FEntries; } ///< In the order shown.
    int Shown() const { return FShown; }                                 ///< The entry shown, or -1.
    /// The value that WriteTo() writes, or nothing before a choice.
    const std::optional<std::string>& Chosen() const { return FChosen; }

    /// Shows Port's value and chooses it. The port's own name is an entry
    /// whatever it is (an adapter pulled out, a COMn name, a path), marked when
    /// it is not there now, so that OK keeps it; its listed spelling is chosen.
    void ShowPortValue(const TCustomComPort& Port);
    /// Shows the entry whose value is Value in any letter case; false, and
    /// nothing changed, when there is none. Chooses nothing.
    bool Show(const std::string& Value);
    /// Shows the first entry, if any. Chooses nothing.
    void ShowFirst();
    /// The operator picked entry Index: it is shown and chosen.
    void Pick(int Index);
    /// cpPort: reads the port list again. The port's own name and the
    /// entry shown stay entries (the operator's pick stays theirs when its
    /// adapter is pulled out, marked) and the shown one stays shown. EComPort
    /// when the list cannot be read, and the list stays as it was.
    void ReadPorts();
    /// Writes the chosen value through the setting's ordinary setter; nothing
    /// before a choice. A port the operator picked from the listed ones is
    /// written with its adapter's identity (SetPort() with both).
    void WriteTo(TCustomComPort& Port) const;

private:
    void KeepPort(const std::string& Name);
    void FillPorts(const std::vector<TPortDetails>& Listed);

    TComProperty FProperty;
    std::vector<TSetupEntry> FEntries;
    int FShown = -1;
    std::optional<std::string> FChosen;
    bool FPicked = false;
    std::string FOwnPort;              // cpPort: the port's own name, kept as an entry
    std::vector<TPortDetails> FListed; // cpPort: the ports the system listed
};

/// The whole setup of a port: its lists in the dialog's order (port, rate,
/// data bits, stop bits, parity, flow control: every setting a setup list
/// edits, by TComProperty), each showing the port's value; the watcher that
/// tells when ports came or went; and OK's writing.
class VELT_COMPORT_EXPORT TComSetup {
public:
    /// The lists, each showing its first entry. EComPort when the port list
    /// cannot be read.
    TComSetup();
    /// The lists showing Port's values (ShowPortValues()).
    explicit TComSetup(const TCustomComPort& Port);
    ~TComSetup();
    TComSetup(const TComSetup&) = delete;
    TComSetup& operator=(const TComSetup&) = delete;

    std::vector<TSetupList>& Lists() { return FLists; }             ///< In the dialog's order.
    const std::vector<TSetupList>& Lists() const { return FLists; } ///< In the dialog's order.
    /// Every list shows and chooses Port's value (TSetupList::ShowPortValue()).
    void ShowPortValues(const TCustomComPort& Port);
    /// The watcher whose handle a dialog waits on (or looks at now and then)
    /// to call FollowPorts().
    TPortListWatcher& Watcher() { return *FWatcher; }
    /// Takes the watcher's notices; when ports may have come or gone, reads
    /// the port list again (TSetupList::ReadPorts()) and says so: the dialog
    /// then draws the port list afresh. EComPort when the list cannot be read.
    bool FollowPorts();
    /// OK: every list's choice written in one settings update, so that an
    /// open port gets its queue sizes, line settings and timeouts once. A
    /// failing write ends the update and goes on to the caller (the lists
    /// after it are not written); the write's failure is the one reported,
    /// not a failure of ending the update.
    void Apply(TCustomComPort& Port) const;

private:
    // Watching starts before the list is read, so that no change is missed
    // between the two.
    std::unique_ptr<TPortListWatcher> FWatcher;
    std::vector<TSetupList> FLists;
};
