#pragma once
/// @file
/// What each listed serial port is (a USB adapter with its maker, product,
/// serial number and USB location, a built-in UART, a pseudo-terminal), the
/// identity that finds an adapter again under a new name, and a watcher that
/// says when ports come or go.
#include <velt/comport/Export.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <velt/comport/platform/WaitHandle.h>

/// What kind of device a port is.
enum TPortKind : uint8_t {
    pkOther,          ///< nothing more is known: described by its name alone
    pkUsb,            ///< a USB serial adapter
    pkBuiltInUart,    ///< a UART of the machine itself
    pkPseudoTerminal, ///< a pseudo-terminal (a simulated line)
    pkBluetooth,      ///< a serial port over a Bluetooth link (no USB ids)
};

/// Another process that holds a port open.
struct VELT_COMPORT_EXPORT TPortHolder {
    int32_t Pid = 0;     ///< its process id
    std::string Program; ///< its program name ("minicom")
};

/// One serial port as the system describes it. Texts the system does not
/// give stay empty, numbers it does not give stay 0.
struct VELT_COMPORT_EXPORT TPortDetails {
    std::string Name;         ///< the name ListPortNames() gives ("ttyUSB0", "COM3")
    std::string DevicePath;   ///< the device it opens ("/dev/ttyUSB0", "\\\\.\\COM3")
    std::string Description;  ///< the product as the system names it ("FT232R USB UART")
    std::string Manufacturer; ///< the maker as the system names it
    std::string SerialNumber; ///< the adapter's own serial number
    std::string Location;     ///< the USB bus and port path ("1-1.2")
    uint16_t VendorId = 0;    ///< USB vendor id (0x0403)
    uint16_t ProductId = 0;   ///< USB product id (0x6001)
    bool IsUsb = false;       ///< whether the port is a USB device
    TPortKind Kind = pkOther; ///< what kind of device it is
    /// The other processes that hold the port open (Linux; Windows does not
    /// tell). This program itself is never among them.
    std::vector<TPortHolder> Holders;
    /// Processes whose open files this user may not see (Linux): any of them
    /// may hold the port too, so Holders may be incomplete.
    int32_t UnreadableProcesses = 0;
    /// The adapter's latency timer in milliseconds where its driver shows one
    /// (an FTDI adapter on Linux: 16 by default, 1 with low latency), else 0.
    uint32_t LatencyTimer = 0;
};

/// Replaces the content of List with the details of the ports ListPortNames()
/// gives, by the same names and in the same order. A port the system tells
/// nothing more about has its name alone (pkOther). Raises EComPort peRegistry
/// as ListPortNames() does, leaving List as it was.
VELT_COMPORT_EXPORT void ListPortDetails(std::vector<TPortDetails>& List);

/// Where ListPortDetails takes the details from: returns 0, or the error
/// number. An empty source restores the machine's own details (the names of
/// ListPortNames(), with what the system tells about each); tests install a
/// fixed one. ListPortDetails sorts the result as ListPortNames() does.
using TPortDetailsSource = std::function<int(std::vector<TPortDetails>& Details)>;
VELT_COMPORT_EXPORT void
SetPortDetailsSource(TPortDetailsSource Source); ///< Installs Source (empty: the machine's own details).

/// The text that finds the same adapter again under another name: "usb:",
/// vendor and product id, the USB location, and the serial number when the
/// adapter has one ("usb:0403:6001:at:1-1.2:sn:A1B2"). Empty for a port that
/// is not a USB device: a built-in port keeps its name.
VELT_COMPORT_EXPORT std::string PortIdentity(const TPortDetails& Port);

/// The entry of Listed that the port name Name stands for, or null when
/// none is: the one of that name in any letter case, the one whose device
/// Name is ("/dev/ttyUSB0"), or the one the system lists the device under
/// ("COM1" is "ttyS0" on Linux, a by-id link the node it leads to). Every
/// question "which listed port is this?" is answered here.
VELT_COMPORT_EXPORT const TPortDetails* FindListedPort(const std::string& Name,
                                                       const std::vector<TPortDetails>& Listed);

/// One line for the operator: the name, then what the port is
/// ("ttyUSB0 – FT232R USB UART (FTDI), nr A1B2, USB 1-1.2"); a built-in UART
/// says so in Polish; a pseudo-terminal or an unknown device is its name alone.
VELT_COMPORT_EXPORT std::string DescribePort(const TPortDetails& Port);

/// The adapter a stored identity (PortIdentity()) names, as the operator
/// knows it: "adapter USB 0403:6001, nr A1B2", or with the USB location
/// ("…, USB 1-1.2") when it has no serial number. Empty for a text that is
/// no adapter's identity.
VELT_COMPORT_EXPORT std::string DescribeAdapterIdentity(const std::string& Identity);

/// The processes of Holders as one text ("minicom (PID 812), cu (PID 90)"),
/// empty when there are none.
VELT_COMPORT_EXPORT std::string DescribePortHolders(const std::vector<TPortHolder>& Holders);

/// What to add to the message of an open of the named port that failed with
/// SystemErrorCode (EComPort::SystemErrorCode()): when the port is in use,
/// who holds it ("używany przez: minicom (PID 812)"), or, when no process
/// this user may see holds it, how many could not be looked at. Empty for
/// another failure, and when nothing is known (on Windows, which does not
/// tell).
VELT_COMPORT_EXPORT std::string PortHolderNote(const std::string& Port, int32_t SystemErrorCode);

/// What ResolvePort() decided.
enum TPortResolution : uint8_t {
    prsUnchanged, ///< use the stored name (it is there and is the stored adapter, or no identity is stored)
    prsMoved,     ///< the stored adapter is there under another name: TResolvedPort::Name
    prsAmbiguous, ///< several present ports could be the stored adapter: the operator chooses
    prsMissing,   ///< the stored adapter is not there
};

/// The outcome of ResolvePort(): the decision and the name to open.
struct VELT_COMPORT_EXPORT TResolvedPort {
    TPortResolution Result = prsUnchanged; ///< the decision
    std::string Name;                      ///< the port to open (the stored name unless moved)
};

/// Decides which present port is the stored adapter. With no identity
/// stored, or when the stored name is present and is that adapter, the name
/// stays. Otherwise the candidates are the present ports of the stored vendor
/// and product with the stored serial number (any, when none was stored):
/// exactly one is the adapter moved there; of several, the one at the stored
/// location; when none or more than one of them is there, ambiguous (nothing
/// is guessed). No candidate: missing (a stored name that is present but now
/// another adapter is missing too, so the other adapter is never used for it).
VELT_COMPORT_EXPORT TResolvedPort ResolvePort(const std::string& StoredName, const std::string& StoredIdentity,
                                              const std::vector<TPortDetails>& Present);

/// Says when serial ports may have come or gone (an adapter plugged in or
/// pulled out): Handle() is signalled then (readable on POSIX systems, an
/// event on Windows), so a Qt QSocketNotifier/QWinEventNotifier or any loop
/// waits on it. Where the system gives no such notice, Active() is false and
/// Handle() is never signalled; the caller reads the list when it needs it.
class VELT_COMPORT_EXPORT TPortListWatcher {
public:
    TPortListWatcher();
    ~TPortListWatcher();
    TPortListWatcher(const TPortListWatcher&) = delete;
    TPortListWatcher& operator=(const TPortListWatcher&) = delete;

    /// Whether the watcher gets notices at all.
    bool Active() const;
    /// The waitable object; only valid while Active().
    platform::WaitHandle Handle() const;
    /// Takes the notices that arrived and tells whether any of them may have
    /// changed the port list. Never blocks; Handle() is unsignalled after it.
    bool Changed();

private:
    class TImpl;
    std::unique_ptr<TImpl> FImpl;
};
