#pragma once
/// @file
/// The serial port component: its settings, opening and closing the device,
/// writing the settings to it, moving bytes, turning line events into
/// notifications and keeping the settings in a store.
#include <velt/comport/Export.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <velt/comport/ComError.h>
#include <velt/comport/ComLink.h>
#include <velt/comport/ComSettings.h>
#include <velt/comport/ComTypes.h>
#include <velt/comport/framework/Component.h>

class TComPortPrivate;
class TLineLog;
class TRegistry;
class TIniFile;
struct TComTransfer;
using PComTransfer = TComTransfer*; ///< A reference to a transfer record (ComTransfer.h).
namespace device {
class SerialDevice;
struct DeviceControlBlock;
} // namespace device

/// A handler that only learns which port it comes from.
using TNotifyEvent = std::function<void(TComponent* Sender)>;
/// A handler told how many received bytes wait to be read.
using TRxCharEvent = std::function<void(TComponent* Sender, int32_t Count)>;
/// A handler given received (or sent) bytes themselves.
using TRxBufEvent = std::function<void(TComponent* Sender, const char* Buffer, int32_t Count)>;
/// A handler given the line errors that occurred.
using TComErrorEvent = std::function<void(TComponent* Sender, TComErrors Errors)>;
/// A handler told the new state of a modem line (true: on).
using TComSignalEvent = std::function<void(TComponent* Sender, bool OnOff)>;

/// A serial port: its line settings, opening and closing the device, moving
/// bytes, and notifications of what happens on the line.
///
/// Settings may be changed at any time; while the port is open a change is
/// written to the device at once (or, between BeginSettingsUpdate() and
/// EndSettingsUpdate(), once at the end). Every failure is an EComPort
/// exception carrying an error code and, where there is one, the platform's
/// error number. Handlers (the On... members) are optional; where they run
/// is decided by SyncMethod().
class VELT_COMPORT_EXPORT TCustomComPort : public TComponent {
public:
    /// A closed port with the default settings (COM1, 9600 bits per second,
    /// 8 data bits, no parity, 1 stop bit), owned by AOwner (may be null).
    explicit TCustomComPort(TComponent* AOwner);
    /// Closes the port first if it is open.
    ~TCustomComPort() override;

    /// @name Line settings
    /// @{

    /// Whether the port is open.
    bool Connected() const;
    /// Opens (true) or closes (false) the port, as Open() and Close() do.
    void SetConnected(bool Value);
    /// The bit rate, one of the named rates or brCustom.
    TBaudRate BaudRate() const;
    /// Sets the bit rate; brCustom uses CustomBaudRate().
    void SetBaudRate(TBaudRate Value);
    /// The bit rate in bits per second used while BaudRate() is brCustom.
    int32_t CustomBaudRate() const;
    /// Sets the rate used with brCustom; any rate the device takes is exact.
    void SetCustomBaudRate(int32_t Value);
    /// The port's name: "COM1" (the first on-board UART), a kernel name such
    /// as "ttyUSB0", or a path starting with "/".
    const std::string& Port() const;
    /// Names the port; an open port is closed and opened again on the new one.
    /// A new name clears AdapterIdentity(): it belonged to the old name.
    void SetPort(const std::string& Value);
    /// Names the port together with the identity of the adapter it is (as
    /// when the port is taken from the listed ones), in one step.
    void SetPort(const std::string& Value, const std::string& Identity);
    /// What finds the port's USB adapter again when the system gives it
    /// another name (see PortIdentity() in PortDetails.h); empty when none is
    /// known. Stored beside the settings, after them.
    const std::string& AdapterIdentity() const;
    /// Sets the adapter's identity (as the settings are restored).
    void SetAdapterIdentity(const std::string& Value);
    /// The number of stop bits.
    TStopBits StopBits() const;
    /// Sets the stop bits (1.5 only together with 5 data bits).
    void SetStopBits(TStopBits Value);
    /// The number of data bits per character.
    TDataBits DataBits() const;
    /// Sets the data bits.
    void SetDataBits(TDataBits Value);
    /// Whether received NUL bytes are dropped.
    bool DiscardNull() const;
    /// Drops (true) or keeps received NUL bytes.
    void SetDiscardNull(bool Value);
    /// Whether the driver is asked to pass received bytes on at once (an
    /// adapter's latency timer at its least; on Linux ASYNC_LOW_LATENCY, which
    /// an FTDI adapter's driver turns into a 1 ms timer). Off by default.
    bool LowLatency() const;
    /// Asks for low latency (true), or leaves the driver as it was (false).
    /// A driver that does not take it is refused as any line setting is
    /// (peSetLineFailed); the driver's own state is put back at close.
    void SetLowLatency(bool Value);
    /// The byte whose arrival raises evRxFlag (OnRxFlag).
    uint8_t EventChar() const;
    /// Sets the byte that raises evRxFlag.
    void SetEventChar(uint8_t Value);
    /// The line events the port listens for; all ten by default.
    TComEvents Events() const;
    /// Chooses the line events to listen for; takes effect at the next Open().
    void SetEvents(TComEvents Value);
    /// Where handlers run: smThreadSync and smWindowSync on the main thread,
    /// smNone on the port's own event thread.
    TSyncMethod SyncMethod() const;
    /// Chooses where handlers run; refused (EComPort) while the port is open.
    void SetSyncMethod(TSyncMethod Value);

    /// Parity: the kind, whether it is checked, and the byte put in place of
    /// a byte received with a parity error.
    TComParity& Parity();
    /// @copydoc Parity()
    const TComParity& Parity() const;
    /// Copies Value's parity settings into the port's own object.
    void SetParity(const TComParity& Value);
    /// Flow control: hardware (RTS/CTS, DTR/DSR), software (XON/XOFF) or none.
    TComFlowControl& FlowControl();
    /// @copydoc FlowControl()
    const TComFlowControl& FlowControl() const;
    /// Copies Value's flow-control settings into the port's own object.
    void SetFlowControl(const TComFlowControl& Value);
    /// The five read and write timeouts, in milliseconds.
    TComTimeouts& Timeouts();
    /// @copydoc Timeouts()
    const TComTimeouts& Timeouts() const;
    /// Copies Value's timeouts into the port's own object.
    void SetTimeouts(const TComTimeouts& Value);
    /// The recommended sizes of the input and output queues.
    TComBuffer& Buffer();
    /// @copydoc Buffer()
    const TComBuffer& Buffer() const;
    /// Copies Value's queue sizes into the port's own object.
    void SetBuffer(const TComBuffer& Value);

    /// Which groups of settings SaveSettings() and RestoreSettings() handle.
    TSettingsGroups SettingsGroups() const;
    /// Chooses the groups of settings that are saved and restored.
    void SetSettingsGroups(TSettingsGroups Value);
    /// @}

    /// @name Opening and closing
    /// @{

    /// Opens the device for exclusive use, writes every setting to it and
    /// starts listening for line events; does nothing when already open.
    /// Throws EComPort when the device cannot be opened or refuses a setting.
    void Open();
    /// Stops listening, ends pending transfers and closes the device; does
    /// nothing when closed.
    void Close();
    /// Holds back writing changed settings to the device until the matching
    /// EndSettingsUpdate(); pairs may nest.
    void BeginSettingsUpdate();
    /// Ends one BeginSettingsUpdate(); the last one writes every setting.
    void EndSettingsUpdate();
    /// How many BeginSettingsUpdate() calls are still open.
    int32_t SettingsUpdateDepth() const;
    /// Records what happens on the line in Log from the next Open() on (see
    /// LineLog.h): bytes both ways, events, errors, open, close, hang-up,
    /// transfers cancelled. Null (the default) records nothing and costs
    /// nothing.
    void SetLineLog(std::shared_ptr<TLineLog> Log);
    /// The log given to SetLineLog(), or null.
    std::shared_ptr<TLineLog> LineLog() const;
    /// Whether the last Open() started an event thread: false while closed,
    /// with empty Events, and where the main loop waits on the device itself.
    bool EventThreadActive() const;
    /// @}

    /// @name Moving bytes
    /// Reads and writes follow Timeouts(). The Begin... calls start a
    /// transfer on a record made by NewTransfer() and return the bytes
    /// moved so far; AwaitTransfer() waits for its end. All of them throw
    /// EComPort when the port is closed or the device fails.
    /// @{

    /// Starts writing Count bytes of Buffer (copied for the links).
    int32_t BeginWrite(const void* Buffer, int32_t Count, PComTransfer Transfer);
    /// Starts writing Text's bytes; 0 for an empty text.
    int32_t BeginWriteText(const std::string& Text, PComTransfer Transfer);
    /// Starts reading up to Count bytes into Buffer, which must stay valid
    /// until AwaitTransfer() returns.
    int32_t BeginRead(void* Buffer, int32_t Count, PComTransfer Transfer);
    /// Starts reading up to Count bytes into Text (sized to Count).
    int32_t BeginReadText(std::string& Text, int32_t Count, PComTransfer Transfer);
    /// Waits until the transfer on Transfer ends; returns the bytes moved
    /// (0 when nothing was started on the record).
    int32_t AwaitTransfer(PComTransfer Transfer);
    /// Writes Text and waits; returns the bytes written.
    int32_t WriteText(const std::string& Text);
    /// Reads up to Count bytes into Buffer and waits; returns the bytes read.
    int32_t ReadBytes(void* Buffer, int32_t Count);
    /// Reads up to Count bytes into Text, which holds exactly what was read.
    int32_t ReadText(std::string& Text, int32_t Count);
    /// Ends every pending read and write, of any thread, at once as failed.
    void AbortTransfers();
    /// The number of received bytes waiting to be read.
    int32_t InQueueCount();
    /// The modem input lines that are on now (none on a line without them).
    TComLineSignals LineSignals();
    /// The line errors since the last call, which clears them.
    TComErrors FetchLineErrors();
    /// @}

    /// @name Notifications
    /// Optional handlers; each gets the port as Sender. They run where
    /// SyncMethod() says, one at a time, in the order the events happened.
    /// @{

    TNotifyEvent OnAfterOpen;     ///< The port has been opened.
    TNotifyEvent OnAfterClose;    ///< The port has been closed.
    TNotifyEvent OnBeforeOpen;    ///< The port is about to open.
    TNotifyEvent OnBeforeClose;   ///< The port is about to close.
    TRxCharEvent OnRxChar;        ///< Bytes arrived; Count of them wait to be read.
    TRxBufEvent OnRxBuf;          ///< Bytes arrived, already read by the port (instead of OnRxChar).
    TNotifyEvent OnTxEmpty;       ///< The last byte written has left the transmitter.
    TNotifyEvent OnBreak;         ///< A break was received.
    TNotifyEvent OnRing;          ///< The ring indicator came on.
    TComSignalEvent OnCTSChange;  ///< Clear To Send changed.
    TComSignalEvent OnDSRChange;  ///< Data Set Ready changed.
    TComSignalEvent OnRLSDChange; ///< The carrier detect line changed.
    TNotifyEvent OnRxFlag;        ///< EventChar() arrived.
    TComErrorEvent OnError;       ///< Line errors occurred.
    TNotifyEvent OnRx80Full;      ///< The input queue is 80 % full.
    /// @}

    /// Received bytes are announced by count through OnRxChar (rather than
    /// read by the port itself) while this holds.
    bool AnnounceRxChar() const { return RxCharAnnounced(); }
    /// @copydoc AnnounceRxChar()
    bool RxCharAnnounced() const;

    /// @name Links
    /// Listeners kept in the order attached. A link whose OnLinkRxBuf is
    /// assigned when it is attached takes received bytes as buffers.
    /// Attaching a null or already attached link, or detaching one that is
    /// not attached, fails with code 18.
    /// @{

    /// Attaches Link (not owned; detach it before it goes).
    void RegisterLink(TPortLink* Link);
    /// Detaches Link.
    void UnRegisterLink(TPortLink* Link);
    /// Whether a link takes received bytes as buffers.
    bool BufferLinked() const;
    /// @}

    /// @name Event processing
    /// What the port does for one line event: gather its arguments from the
    /// device and notify the links and the handler. Called by the port's
    /// event machinery; a program calls them only to simulate an event.
    /// @{

    void ProcessRxChar();      ///< Bytes arrived.
    void ProcessTxEmpty();     ///< The transmitter ran empty.
    void ProcessRxFlag();      ///< The event character arrived.
    void ProcessRing();        ///< The ring indicator came on.
    void ProcessBreak();       ///< A break arrived.
    void ProcessCTSChange();   ///< CTS changed.
    void ProcessDSRChange();   ///< DSR changed.
    void ProcessError();       ///< Line errors occurred.
    void ProcessRLSDChange();  ///< The carrier detect line changed.
    void ProcessRx80Full();    ///< The input queue is 80 % full.
    void ProcessBeforeOpen();  ///< The port is about to open.
    void ProcessAfterOpen();   ///< The port has opened.
    void ProcessBeforeClose(); ///< The port is about to close.
    void ProcessAfterClose();  ///< The port has closed.
    /// Tells the links the state of the lines when the port opens or closes.
    void ReportSignals(bool Opened);
    /// Tells every link of an event of kind Kind.
    void BroadcastLinkEvent(TLinkNotice Kind);
    /// Tells every link of a state change of kind Kind.
    void BroadcastLinkState(TLinkNotice Kind, bool OnOff);
    /// Gives every link the bytes just written.
    void BroadcastSentData(const char* Buffer, int32_t Count);
    /// @}

    /// @name Settings storage
    /// @{

    /// Stores the groups of SettingsGroups() in the registry (Location is a
    /// key path such as "HKEY_CURRENT_USER\Software\MyApp"; the values go to
    /// the subkey named Name()) or in the ini file Location (section Name()).
    /// Throws EComPort when the store cannot be written.
    void SaveSettings(TSettingsStore Store, const std::string& Location);
    /// Reads back what SaveSettings() stored and applies it; throws EComPort
    /// when the store cannot be read. With saReadOnly the store is neither
    /// created nor written: a missing registry key reads as an empty one.
    void RestoreSettings(TSettingsStore Store, const std::string& Location, TStoreAccess Access = saReadWrite);
    /// Whether the registry Location holds the port's key (named Name()); a
    /// key that cannot be read counts as absent.
    bool HasStoredSettings(const std::string& Location) const;
    /// @}

    /// Runs the setup dialog on this port (the dialog is installed by the
    /// user interface with SetSettingsDialog); without one it raises EComPort
    /// peNoSettingsDialog. Returns whether the operator confirmed the dialog
    /// (its choices were written to the port, in one settings update).
    bool ShowSettingsDialog();
    /// Installs the dialog that ShowSettingsDialog() runs (the Qt parts
    /// install theirs with InstallSetupDialog()).
    static void SetSettingsDialog(std::function<void(TCustomComPort&)> Dialog);

protected:
    /// @name Customisation
    /// A subclass may override these to change how the port stores its
    /// settings, reaches its device or raises its notifications.
    /// @{

    virtual void SaveToRegistry(TRegistry& Registry);             ///< Writes the settings to the open key.
    virtual void SaveToIniFile(TIniFile& IniFile);                ///< Writes the settings to the ini file.
    virtual void RestoreFromRegistry(TRegistry& Registry);        ///< Reads the settings from the open key.
    virtual void RestoreFromIniFile(TIniFile& IniFile);           ///< Reads the settings from the ini file.
    virtual void OpenDevice();                                    ///< Opens the device named by Port() and installs it.
    virtual void CloseDevice();                                   ///< Lets go of the device.
    virtual void ApplyAllSettings();                              ///< Writes every setting to the open device.
    virtual void TriggerAfterClose();                             ///< Calls OnAfterClose.
    virtual void TriggerAfterOpen();                              ///< Calls OnAfterOpen.
    virtual void TriggerBeforeClose();                            ///< Calls OnBeforeClose.
    virtual void TriggerBeforeOpen();                             ///< Calls OnBeforeOpen.
    virtual void TriggerRxChar(int32_t Count);                    ///< Calls OnRxChar.
    virtual void TriggerRxBuf(const char* Buffer, int32_t Count); ///< Calls OnRxBuf.
    /// Calls OnTxEmpty. Watching for the end of a write costs the device a
    /// helper and a wake-up per write, so a port of the component's own
    /// classes watches only while a handler or a link listens. A port of any
    /// other class may have replaced this operation and is always watched
    /// (with evTxEmpty in Events), unless it says with
    /// KeepsTriggerTxEmpty() that it does not replace it.
    virtual void TriggerTxEmpty();
    virtual void TriggerBreak();                  ///< Calls OnBreak.
    virtual void TriggerRing();                   ///< Calls OnRing.
    virtual void TriggerRxFlag();                 ///< Calls OnRxFlag.
    virtual void TriggerCTSChange(bool OnOff);    ///< Calls OnCTSChange.
    virtual void TriggerDSRChange(bool OnOff);    ///< Calls OnDSRChange.
    virtual void TriggerError(TComErrors Errors); ///< Calls OnError.
    virtual void TriggerRLSDChange(bool OnOff);   ///< Calls OnRLSDChange.
    virtual void TriggerRx80Full();               ///< Calls OnRx80Full.
    virtual void ApplyLineSettings();             ///< Writes rate, format, flow control to the open device.
    virtual void ApplyTimeoutSettings();          ///< Writes the timeouts to the open device.
    virtual void ApplyBufferSettings();           ///< Writes the queue sizes to the open device.
    /// Kept so that sources written for an earlier version still build: a
    /// subclass's own TriggerTxEmpty is reached without it. It has no effect.
    void ListenForTxEmpty();
    /// The subclass does not replace TriggerTxEmpty: like the component's own
    /// classes, it watches for the end of a write only while a handler or a
    /// link listens (takes effect at the next write).
    void KeepsTriggerTxEmpty();
    /// Opens the port when Connected() was set while loading.
    void Loaded() override;
    /// @}

    /// The open device, or null while closed (the invalid handle).
    device::SerialDevice* DeviceHandle() const;
    /// Installs Device as the port's device (an override of OpenDevice()
    /// installs a device of its own this way).
    void SetDeviceHandle(std::unique_ptr<device::SerialDevice> Device);

    /// The device record the line settings give, built without touching the device.
    device::DeviceControlBlock BuildDeviceControlBlock() const;

private:
    /// The private state lives in TComPortPrivate (so a new field changes
    /// nothing here); the event machinery and the settings objects reach the
    /// port's internals through it, its only friend.
    friend class TComPortPrivate;

    /// The device for one call. A transfer or query on another thread holds
    /// it until the call returns, so Close never pulls it from under that call.
    std::shared_ptr<device::SerialDevice> Device() const;
    bool ApplyAllowed() const;
    void StartEventThread();
    void StopEventThread();
    void CallLinks(const std::function<void(TPortLink&)>& Call);
    bool TxEmptyListened() const;
    bool TriggerTxEmptyMayBeReplaced() const;
    void TellDeviceWhetherTxEmptyIsWanted(device::SerialDevice& Device);
    template <typename Value>
    void ChangeLineSetting(Value& Field, Value NewValue);

    std::unique_ptr<TComPortPrivate> FPrivate;
};

/// The class placed on a window; it adds nothing to TCustomComPort.
class VELT_COMPORT_EXPORT TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};
