#pragma once
/// @file
/// The serial port component: its settings, opening and closing the device,
/// writing the settings to it, moving bytes, turning line events into
/// notifications and keeping the settings in a store.
#include <velt/comport/Export.h>
#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include <velt/comport/ComError.h>
#include <velt/comport/ComLink.h>
#include <velt/comport/ComSettings.h>
#include <velt/comport/ComTransfer.h>
#include <velt/comport/ComTypes.h>
#include <velt/comport/device/SerialDevice.h>
#include <velt/comport/framework/Component.h>

class TComLoopEvents;
class TComThread;
class TNotifyWindow;
class TRegistry;
class TIniFile;

using TNotifyEvent = std::function<void(TComponent* Sender)>;
using TRxCharEvent = std::function<void(TComponent* Sender, int32_t Count)>;
using TRxBufEvent = std::function<void(TComponent* Sender, const char* Buffer, int32_t Count)>;
using TComErrorEvent = std::function<void(TComponent* Sender, TComErrors Errors)>;
using TComSignalEvent = std::function<void(TComponent* Sender, bool OnOff)>;

class VELT_COMPORT_EXPORT TCustomComPort : public TComponent {
public:
    explicit TCustomComPort(TComponent* AOwner);
    ~TCustomComPort() override;

    // ---- Settings -------------------------------------------------------
    bool Connected() const { return FConnected; }
    void SetConnected(bool Value);
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate Value);
    int32_t CustomBaudRate() const { return FCustomBaudRate; }
    void SetCustomBaudRate(int32_t Value);
    const std::string& Port() const { return FPort; }
    void SetPort(const std::string& Value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits Value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits Value);
    bool DiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool Value);
    uint8_t EventChar() const { return FEventChar; }
    void SetEventChar(uint8_t Value);
    TComEvents Events() const { return FEvents; }
    void SetEvents(TComEvents Value) { FEvents = Value; }
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod Value);

    /// The port's own settings objects; the setters copy the given object.
    TComParity& Parity() { return *FParity; }
    const TComParity& Parity() const { return *FParity; }
    void SetParity(const TComParity& Value);
    TComFlowControl& FlowControl() { return *FFlowControl; }
    const TComFlowControl& FlowControl() const { return *FFlowControl; }
    void SetFlowControl(const TComFlowControl& Value);
    TComTimeouts& Timeouts() { return *FTimeouts; }
    const TComTimeouts& Timeouts() const { return *FTimeouts; }
    void SetTimeouts(const TComTimeouts& Value);
    TComBuffer& Buffer() { return *FBuffer; }
    const TComBuffer& Buffer() const { return *FBuffer; }
    void SetBuffer(const TComBuffer& Value);

    TSettingsGroups SettingsGroups() const { return FSettingsGroups; }
    void SetSettingsGroups(TSettingsGroups Value) { FSettingsGroups = Value; }

    // ---- Lifecycle ------------------------------------------------------
    void Open();
    void Close();
    void BeginSettingsUpdate();
    void EndSettingsUpdate();
    int32_t SettingsUpdateDepth() const { return FSettingsUpdateDepth; }
    bool EventThreadActive() const { return FEventThreadActive; }

    // ---- Data transfer --------------------------------------------------
    int32_t BeginWrite(const void* Buffer, int32_t Count, PComTransfer Transfer);
    int32_t BeginWriteText(const std::string& Text, PComTransfer Transfer);
    int32_t BeginRead(void* Buffer, int32_t Count, PComTransfer Transfer);
    int32_t BeginReadText(std::string& Text, int32_t Count, PComTransfer Transfer);
    int32_t AwaitTransfer(PComTransfer Transfer);
    int32_t WriteText(const std::string& Text);
    int32_t ReadBytes(void* Buffer, int32_t Count);
    int32_t ReadText(std::string& Text, int32_t Count);
    void AbortTransfers();
    int32_t InQueueCount();
    TComLineSignals LineSignals();
    TComErrors FetchLineErrors();

    // ---- Notifications --------------------------------------------------
    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnAfterClose;
    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnBeforeClose;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRxFlag;
    TComErrorEvent OnError;
    TNotifyEvent OnRx80Full;

    /// Received bytes are announced by count through OnRxChar (rather than
    /// read by the port itself) while this holds.
    bool AnnounceRxChar() const { return RxCharAnnounced(); }
    bool RxCharAnnounced() const { return FAnnounceRxChar && !FBufferLinked; }

    /// Links: listeners kept in the order attached. A link whose OnLinkRxBuf
    /// is assigned when it is attached takes received bytes as buffers.
    /// Attaching a null or already attached link, or detaching one that is not
    /// attached, fails with code 18.
    void RegisterLink(TPortLink* Link);
    void UnRegisterLink(TPortLink* Link);
    bool BufferLinked() const { return FBufferLinked; }

    /// Processing: gather the arguments of one line event from the device and
    /// notify the links and the handler.
    void ProcessRxChar();
    void ProcessTxEmpty();
    void ProcessRxFlag();
    void ProcessRing();
    void ProcessBreak();
    void ProcessCTSChange();
    void ProcessDSRChange();
    void ProcessError();
    void ProcessRLSDChange();
    void ProcessRx80Full();
    void ProcessBeforeOpen();
    void ProcessAfterOpen();
    void ProcessBeforeClose();
    void ProcessAfterClose();
    void ReportSignals(bool Opened);
    void BroadcastLinkEvent(TLinkNotice Kind);
    void BroadcastLinkState(TLinkNotice Kind, bool OnOff);
    void BroadcastSentData(const char* Buffer, int32_t Count);

    // ---- Settings storage -----------------------------------------------
    void SaveSettings(TSettingsStore Store, const std::string& Location);
    void RestoreSettings(TSettingsStore Store, const std::string& Location);

    // ---- Setup dialog ---------------------------------------------------
    /// Runs the setup dialog on this port (the dialog is installed by the
    /// user interface with SetSettingsDialog).
    void ShowSettingsDialog();
    static void SetSettingsDialog(std::function<void(TCustomComPort&)> Dialog);

protected:
    virtual void SaveToRegistry(TRegistry& Registry);
    virtual void SaveToIniFile(TIniFile& IniFile);
    virtual void RestoreFromRegistry(TRegistry& Registry);
    virtual void RestoreFromIniFile(TIniFile& IniFile);
    virtual void OpenDevice();
    virtual void CloseDevice();
    virtual void ApplyAllSettings();
    virtual void TriggerAfterClose();
    virtual void TriggerAfterOpen();
    virtual void TriggerBeforeClose();
    virtual void TriggerBeforeOpen();
    virtual void TriggerRxChar(int32_t Count);
    virtual void TriggerRxBuf(const char* Buffer, int32_t Count);
    virtual void TriggerTxEmpty();
    virtual void TriggerBreak();
    virtual void TriggerRing();
    virtual void TriggerRxFlag();
    virtual void TriggerCTSChange(bool OnOff);
    virtual void TriggerDSRChange(bool OnOff);
    virtual void TriggerError(TComErrors Errors);
    virtual void TriggerRLSDChange(bool OnOff);
    virtual void TriggerRx80Full();
    virtual void ApplyLineSettings();
    virtual void ApplyTimeoutSettings();
    virtual void ApplyBufferSettings();
    void Loaded() override;

    /// The open device, or null while closed (the invalid handle).
    device::SerialDevice* DeviceHandle() const { return FDeviceHandle.load().get(); }
    void SetDeviceHandle(std::unique_ptr<device::SerialDevice> Device);

    /// The device record the line settings give, built without touching the device.
    device::DeviceControlBlock BuildDeviceControlBlock() const;

private:
    friend class TComSettingsObject;
    friend class TComTimeouts;
    friend class TComFlowControl;
    friend class TComParity;
    friend class TComBuffer;
    friend class TComLoopEvents;
    friend class TComThread;
    friend class TNotifyWindow;

    /// The device for one call. A transfer or query on another thread holds
    /// it until the call returns, so Close never pulls it from under that call.
    std::shared_ptr<device::SerialDevice> Device() const { return FDeviceHandle.load(); }
    bool ApplyAllowed() const;
    void StartEventThread();
    void StopEventThread();
    void CallLinks(const std::function<void(TPortLink&)>& Call);
    bool TxEmptyListened() const;
    void TellDeviceWhetherTxEmptyIsWanted(device::SerialDevice& Device);
    template <typename Value>
    void ChangeLineSetting(Value& Field, Value NewValue);
    void NotifyWndProc(uint32_t Code);

    std::unique_ptr<TComThread> FComThread;
    /// Instead of the thread, where the main loop waits on the device.
    std::shared_ptr<TComLoopEvents> FLoopEvents;
    bool FEventThreadActive = false;
    std::atomic<std::shared_ptr<device::SerialDevice>> FDeviceHandle;
    std::shared_future<void> FDeviceReleased; ///< ready once the device is closed
    int8_t FTxEmptyWanted = -1;               ///< what the device was told; -1 nothing yet
    std::unique_ptr<TNotifyWindow> FNotifyWnd;
    int32_t FSettingsUpdateDepth = 0;
    std::vector<TPortLink*> FLinkList;
    bool FAnnounceRxChar = true;
    int FThreadPriority = 0;
    bool FBufferLinked = false;
    bool FConnected = false;
    TBaudRate FBaudRate = br9600;
    int32_t FCustomBaudRate = 9600;
    std::string FPort = "COM1";
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = dbEight;
    bool FDiscardNull = false;
    uint8_t FEventChar = 0;
    TComEvents FEvents = AllComEvents();
    std::unique_ptr<TComBuffer> FBuffer;
    std::unique_ptr<TComParity> FParity;
    std::unique_ptr<TComTimeouts> FTimeouts;
    std::unique_ptr<TComFlowControl> FFlowControl;
    TSyncMethod FSyncMethod = smThreadSync;
    TSettingsGroups FSettingsGroups{sgBasic};
};

/// The class placed on a window; it adds nothing to TCustomComPort.
class VELT_COMPORT_EXPORT TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};
