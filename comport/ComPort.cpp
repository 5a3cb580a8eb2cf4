#include <velt/comport/ComPort.h>

#include "ComPortPrivate.h"

#include "ComLoopEvents.h"
#include "ComThread.h"
#include "LineLogDevice.h"
#include "NotifyWindow.h"
#include <velt/comport/framework/ExceptionReport.h>
#include <velt/comport/framework/MainThreadQueue.h>

#include <system_error>

#include <velt/comport/LineLog.h>

namespace {
std::function<void(TCustomComPort&)>& SettingsDialog()
{
    static std::function<void(TCustomComPort&)> dialog;
    return dialog;
}

// A loop whose wait holds no more objects (Windows waits on at most 63) or
// whose set the system refuses one more member: the port gets an event thread.
bool StartLoopEvents(TCustomComPort& Port, MainLoopWatcher& Loop, device::WaitHandle Waitable)
{
    std::shared_ptr<TComLoopEvents>& events = TComPortPrivate::Of(Port).FLoopEvents;
    try {
        events = std::make_shared<TComLoopEvents>(Port, Loop);
        events->Start(Waitable);
        return true;
    } catch (const std::system_error&) {
        events.reset();
        return false;
    }
}
// Asked only when it changes: a port that never wants low latency leaves
// the driver alone.
void ApplyLowLatency(TComPortPrivate& Port, device::SerialDevice& Device)
{
    if (Port.FLowLatency == Port.FDeviceLowLatency)
        return;
    if (const int error = Device.SetLowLatency(Port.FLowLatency); error != 0)
        throw EComPort(peSetLineFailed, error);
    Port.FDeviceLowLatency = Port.FLowLatency;
}
} // namespace

// ---- Construction ---------------------------------------------------------

TCustomComPort::TCustomComPort(TComponent* AOwner) : TComponent(AOwner), FPrivate(std::make_unique<TComPortPrivate>())
{
    FPrivate->FParity = std::make_unique<TComParity>();
    FPrivate->FFlowControl = std::make_unique<TComFlowControl>();
    FPrivate->FTimeouts = std::make_unique<TComTimeouts>();
    FPrivate->FBuffer = std::make_unique<TComBuffer>();
    FPrivate->FParity->SetOwnerPort(this);
    FPrivate->FFlowControl->SetOwnerPort(this);
    FPrivate->FTimeouts->SetOwnerPort(this);
    FPrivate->FBuffer->SetOwnerPort(this);
}

TCustomComPort::~TCustomComPort()
{
    // A destructor must not throw: a close that fails is reported instead,
    // and the device is still released with the port.
    try {
        Close();
    } catch (...) {
        ReportException(std::current_exception());
    }
    FPrivate->FComThread.reset();
    FPrivate->FLoopEvents.reset();
    FPrivate->FNotifyWnd.reset();
    CloseDevice();
}

void TCustomComPort::Loaded()
{
    TComponent::Loaded();
    if (FPrivate->FConnected && !IsDesigning()) {
        FPrivate->FConnected = false;
        try {
            Open();
        } catch (...) {
            ReportException(std::current_exception());
        }
    }
}

// ---- Settings -------------------------------------------------------------

template <typename Value>
void TCustomComPort::ChangeLineSetting(Value& Field, Value NewValue)
{
    if (Field == NewValue)
        return;
    Field = NewValue;
    ApplyLineSettings();
}

void TCustomComPort::SetBaudRate(TBaudRate Value) { ChangeLineSetting(FPrivate->FBaudRate, Value); }
void TCustomComPort::SetCustomBaudRate(int32_t Value) { ChangeLineSetting(FPrivate->FCustomBaudRate, Value); }
void TCustomComPort::SetStopBits(TStopBits Value) { ChangeLineSetting(FPrivate->FStopBits, Value); }
void TCustomComPort::SetDataBits(TDataBits Value) { ChangeLineSetting(FPrivate->FDataBits, Value); }
void TCustomComPort::SetDiscardNull(bool Value) { ChangeLineSetting(FPrivate->FDiscardNull, Value); }
void TCustomComPort::SetLowLatency(bool Value) { ChangeLineSetting(FPrivate->FLowLatency, Value); }
void TCustomComPort::SetEventChar(uint8_t Value) { ChangeLineSetting(FPrivate->FEventChar, Value); }

void TCustomComPort::SetConnected(bool Value)
{
    if (IsLoading() || IsDesigning()) {
        FPrivate->FConnected = Value;
        return;
    }
    if (Value == FPrivate->FConnected)
        return;
    if (Value)
        Open();
    else
        Close();
}

void TCustomComPort::SetPort(const std::string& Value)
{
    if (Value != FPrivate->FPort)
        SetPort(Value, {});
}

void TCustomComPort::SetPort(const std::string& Value, const std::string& Identity)
{
    const bool renamed = Value != FPrivate->FPort;
    FPrivate->FPort = Value;
    FPrivate->FAdapterIdentity = Identity;
    if (renamed && FPrivate->FConnected && !IsLoading() && !IsDesigning()) {
        Close();
        Open();
    }
}

const std::string& TCustomComPort::AdapterIdentity() const { return FPrivate->FAdapterIdentity; }

void TCustomComPort::SetAdapterIdentity(const std::string& Value) { FPrivate->FAdapterIdentity = Value; }

void TCustomComPort::SetSyncMethod(TSyncMethod Value)
{
    if (Value == FPrivate->FSyncMethod)
        return;
    if (FPrivate->FConnected && !IsLoading() && !IsDesigning())
        throw EComPort(peWhileConnected);
    FPrivate->FSyncMethod = Value;
}

void TCustomComPort::SetParity(const TComParity& Value)
{
    FPrivate->FParity->Assign(&Value);
    ApplyLineSettings();
}

void TCustomComPort::SetFlowControl(const TComFlowControl& Value)
{
    FPrivate->FFlowControl->Assign(&Value);
    ApplyLineSettings();
}

void TCustomComPort::SetTimeouts(const TComTimeouts& Value)
{
    FPrivate->FTimeouts->Assign(&Value);
    ApplyTimeoutSettings();
}

void TCustomComPort::SetBuffer(const TComBuffer& Value)
{
    FPrivate->FBuffer->Assign(&Value);
    ApplyBufferSettings();
}

// ---- Opening and closing ----------------------------------------------------

void TCustomComPort::Open()
{
    if (FPrivate->FConnected || IsDesigning())
        return;
    ProcessBeforeOpen();
    try {
        OpenDevice();
        if (DeviceHandle() == nullptr)
            throw EComPort(peOpenDevice, device::InvalidHandleError());
    } catch (const EComPort& Error) {
        if (FPrivate->FLineLog)
            FPrivate->FLineLog->Add(lrOpenFailed, {}, FPrivate->FPort + ": " + Error.what());
        throw;
    }
    FPrivate->FConnected = true;
    try {
        ApplyAllSettings();
        StartEventThread();
        if (FPrivate->FLogDevice != nullptr)
            FPrivate->FLogDevice->RecordOpen(FPrivate->FPort);
    } catch (...) {
        // A port that could not be set up, or whose event thread could not
        // start, is not left half open.
        StopEventThread();
        CloseDevice();
        FPrivate->FConnected = false;
        throw;
    }
    ProcessAfterOpen();
}

void TCustomComPort::Close()
{
    if (!FPrivate->FConnected || IsDesigning())
        return;
    // Stopping the event thread waits for its delivery to end: from inside
    // that delivery it would wait for itself.
    if ((FPrivate->FComThread && FPrivate->FComThread->IsCurrentDelivery()) ||
        (FPrivate->FLoopEvents && FPrivate->FLoopEvents->IsCurrentDelivery()))
        throw EComPort(peThreadRunning);
    ProcessBeforeClose();
    AbortTransfers();
    StopEventThread();
    CloseDevice();
    FPrivate->FConnected = false;
    ProcessAfterClose();
}

// Where the program has a main loop the component knows and the events go to
// the main thread, that loop waits on the device itself: no thread, no hop.
// Otherwise an event thread waits and hands the events over.
void TCustomComPort::StartEventThread()
{
    FPrivate->FEventThreadActive = false;
    if (FPrivate->FEvents.Empty())
        return;
    MainThreadQueue& queue = MainThreadQueue::Instance();
    MainLoopWatcher* loop = FPrivate->FSyncMethod == smNone ? nullptr : queue.LoopWatcher();
    device::WaitHandle waitable{};
    // A hidden window of the platform's own is sent to by the event thread.
    if (FPrivate->FSyncMethod == smWindowSync && NotifyWindow::NeedsSendingThread())
        loop = nullptr;
    if (loop != nullptr && queue.IsMainThread() && DeviceHandle()->EventWaitable(waitable) &&
        StartLoopEvents(*this, *loop, waitable))
        return; // no thread: EventThreadActive stays false
    if (FPrivate->FSyncMethod == smWindowSync)
        FPrivate->FNotifyWnd = std::make_unique<TNotifyWindow>(*this);
    FPrivate->FComThread = std::make_unique<TComThread>(*this);
    FPrivate->FEventThreadActive = true;
}

void TCustomComPort::StopEventThread()
{
    if (FPrivate->FLoopEvents) {
        FPrivate->FLoopEvents->Stop();
        FPrivate->FLoopEvents.reset();
    }
    FPrivate->FComThread.reset();
    FPrivate->FEventThreadActive = false;
    FPrivate->FNotifyWnd.reset();
}

void TCustomComPort::OpenDevice()
{
    int error = 0;
    auto device = device::OpenSerialDevice(FPrivate->FPort, error);
    if (!device)
        throw EComPort(peOpenDevice, error);
    SetDeviceHandle(std::move(device));
}

void TCustomComPort::SetLineLog(std::shared_ptr<TLineLog> Log) { FPrivate->FLineLog = std::move(Log); }

std::shared_ptr<TLineLog> TCustomComPort::LineLog() const { return FPrivate->FLineLog; }

void TCustomComPort::SetDeviceHandle(std::unique_ptr<device::SerialDevice> Device)
{
    // With a log attached the device is wrapped in one that records what
    // passes; without one nothing stands between the port and its device.
    FPrivate->FLogDevice = nullptr;
    if (Device && FPrivate->FLineLog) {
        auto logged = std::make_unique<LineLogDevice>(std::move(Device), FPrivate->FLineLog);
        FPrivate->FLogDevice = logged.get();
        Device = std::move(logged);
    }
    FPrivate->FTxEmptyWanted = -1;
    FPrivate->FDeviceLowLatency = false;
    auto released = std::make_shared<std::promise<void>>();
    FPrivate->FDeviceReleased = released->get_future().share();
    std::shared_ptr<device::SerialDevice> installed(Device.release(), [released](device::SerialDevice* d) {
        delete d;
        released->set_value();
    });
    std::lock_guard lock(FPrivate->FDeviceMutex);
    FPrivate->FDeviceHandle.swap(installed); // a device replaced goes after the lock
}

std::shared_ptr<device::SerialDevice> TCustomComPort::Device() const
{
    std::lock_guard lock(FPrivate->FDeviceMutex);
    return FPrivate->FDeviceHandle;
}

void TCustomComPort::CloseDevice()
{
    std::shared_ptr<device::SerialDevice> taken;
    {
        std::lock_guard lock(FPrivate->FDeviceMutex);
        taken.swap(FPrivate->FDeviceHandle);
    }
    FPrivate->FLogDevice = nullptr;
    std::weak_ptr<device::SerialDevice> closing = taken;
    taken.reset(); // outside the lock: the device may close right here
    if (closing.expired())
        return;
    // A call on another thread still holds the device. Its transfers have
    // been aborted; abort again, should one have started since, until it lets
    // go, so that the device is closed (and free for the next opener) when
    // Close returns.
    while (FPrivate->FDeviceReleased.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        if (auto device = closing.lock())
            static_cast<void>(device->Purge(device::kPurgeTxAbort | device::kPurgeRxAbort)); // a nudge only
}

// ---- Writing the settings to the device -------------------------------------

bool TCustomComPort::ApplyAllowed() const
{
    return FPrivate->FConnected && FPrivate->FSettingsUpdateDepth == 0 && !IsDesigning() && !IsLoading() &&
           DeviceHandle() != nullptr;
}

void TCustomComPort::ApplyAllSettings()
{
    ApplyBufferSettings();
    ApplyLineSettings();
    ApplyTimeoutSettings();
}

void TCustomComPort::ApplyBufferSettings()
{
    if (!ApplyAllowed())
        return;
    const int error = Device()->SetupQueues(static_cast<uint32_t>(FPrivate->FBuffer->InputSize()),
                                            static_cast<uint32_t>(FPrivate->FBuffer->OutputSize()));
    if (error != 0)
        throw EComPort(peSetQueuesFailed, error);
}

void TCustomComPort::ApplyTimeoutSettings()
{
    if (!ApplyAllowed())
        return;
    device::CommTimeouts t;
    t.ReadIntervalTimeout = static_cast<uint32_t>(FPrivate->FTimeouts->ReadInterval());
    t.ReadTotalTimeoutMultiplier = static_cast<uint32_t>(FPrivate->FTimeouts->ReadTotalMultiplier());
    t.ReadTotalTimeoutConstant = static_cast<uint32_t>(FPrivate->FTimeouts->ReadTotalConstant());
    t.WriteTotalTimeoutMultiplier = static_cast<uint32_t>(FPrivate->FTimeouts->WriteTotalMultiplier());
    t.WriteTotalTimeoutConstant = static_cast<uint32_t>(FPrivate->FTimeouts->WriteTotalConstant());
    const int error = Device()->SetTimeouts(t);
    if (error != 0)
        throw EComPort(peSetTimeoutsFailed, error);
}

void TCustomComPort::ApplyLineSettings()
{
    if (!ApplyAllowed())
        return;
    const int error = Device()->SetState(BuildDeviceControlBlock());
    if (error != 0)
        throw EComPort(peSetLineFailed, error);
    ApplyLowLatency(*FPrivate, *Device());
}

device::DeviceControlBlock TCustomComPort::BuildDeviceControlBlock() const
{
    using namespace device;
    static constexpr uint32_t kDtrBits[] = {0, kDcbDtrControlEnable, kDcbDtrControlHandshake};
    static constexpr uint32_t kRtsBits[] = {0, kDcbRtsControlEnable, kDcbRtsControlHandshake, kDcbRtsControlToggle};
    const TComFlowControl& flow = *FPrivate->FFlowControl;
    const TComParity& parity = *FPrivate->FParity;
    const bool replaceErrors = parity.Check() && parity.Replace();

    DeviceControlBlock dcb;
    dcb.BaudRate = FPrivate->FBaudRate == brCustom ? static_cast<uint32_t>(FPrivate->FCustomBaudRate)
                                                   : BaudRateValue(FPrivate->FBaudRate);
    dcb.Flags = kDcbBinary;
    if (parity.Check())
        dcb.Flags |= kDcbParity;
    if (flow.OutCTSFlow())
        dcb.Flags |= kDcbOutxCtsFlow;
    if (flow.OutDSRFlow())
        dcb.Flags |= kDcbOutxDsrFlow;
    dcb.Flags |= kDtrBits[flow.ControlDTR()];
    if (flow.DSRSensitivity())
        dcb.Flags |= kDcbDsrSensitivity;
    if (flow.TxContinueOnXoff())
        dcb.Flags |= kDcbTxContinueOnXoff;
    if (flow.XonXoffOut())
        dcb.Flags |= kDcbOutX;
    if (flow.XonXoffIn())
        dcb.Flags |= kDcbInX;
    if (replaceErrors)
        dcb.Flags |= kDcbErrorChar;
    if (FPrivate->FDiscardNull)
        dcb.Flags |= kDcbNull;
    dcb.Flags |= kRtsBits[flow.ControlRTS()];
    dcb.XonLim = static_cast<uint16_t>(FPrivate->FBuffer->InputSize() / 4);
    dcb.XoffLim = dcb.XonLim;
    dcb.ByteSize = static_cast<uint8_t>(5 + FPrivate->FDataBits);
    dcb.Parity = parity.Bits();
    dcb.StopBits = FPrivate->FStopBits;
    dcb.XonChar = flow.XonChar();
    dcb.XoffChar = flow.XoffChar();
    dcb.ErrorChar = replaceErrors ? parity.ReplaceChar() : 0;
    dcb.EofChar = 0;
    dcb.EvtChar = FPrivate->FEventChar;
    return dcb;
}

void TCustomComPort::BeginSettingsUpdate() { ++FPrivate->FSettingsUpdateDepth; }

void TCustomComPort::EndSettingsUpdate()
{
    if (FPrivate->FSettingsUpdateDepth <= 0)
        return;
    if (--FPrivate->FSettingsUpdateDepth != 0)
        return;
    ++FPrivate->FSettingsUpdatesEnded;
    ApplyAllSettings();
}

// ---- Setup dialog -----------------------------------------------------------

void TCustomComPort::SetSettingsDialog(std::function<void(TCustomComPort&)> Dialog)
{
    SettingsDialog() = std::move(Dialog);
}

// A dialog writes the operator's choices in one settings update, and only
// when the operator confirms: an update ended meanwhile is that confirmation.
bool TCustomComPort::ShowSettingsDialog()
{
    if (!SettingsDialog())
        throw EComPort(peNoSettingsDialog);
    const uint32_t endedBefore = FPrivate->FSettingsUpdatesEnded;
    SettingsDialog()(*this);
    return FPrivate->FSettingsUpdatesEnded != endedBefore;
}
