// The port's private state, and the port's accessors that read it.
#include "ComPortPrivate.h"

#include "ComLoopEvents.h"
#include "ComThread.h"

TComPortPrivate::TComPortPrivate() = default;

TComPortPrivate::~TComPortPrivate() = default;

bool TCustomComPort::Connected() const { return FPrivate->FConnected; }
TBaudRate TCustomComPort::BaudRate() const { return FPrivate->FBaudRate; }
int32_t TCustomComPort::CustomBaudRate() const { return FPrivate->FCustomBaudRate; }
const std::string& TCustomComPort::Port() const { return FPrivate->FPort; }
TStopBits TCustomComPort::StopBits() const { return FPrivate->FStopBits; }
TDataBits TCustomComPort::DataBits() const { return FPrivate->FDataBits; }
bool TCustomComPort::DiscardNull() const { return FPrivate->FDiscardNull; }
bool TCustomComPort::LowLatency() const { return FPrivate->FLowLatency; }
uint8_t TCustomComPort::EventChar() const { return FPrivate->FEventChar; }
TComEvents TCustomComPort::Events() const { return FPrivate->FEvents; }
void TCustomComPort::SetEvents(TComEvents Value) { FPrivate->FEvents = Value; }
TSyncMethod TCustomComPort::SyncMethod() const { return FPrivate->FSyncMethod; }
TComParity& TCustomComPort::Parity() { return *FPrivate->FParity; }
const TComParity& TCustomComPort::Parity() const { return *FPrivate->FParity; }
TComFlowControl& TCustomComPort::FlowControl() { return *FPrivate->FFlowControl; }
const TComFlowControl& TCustomComPort::FlowControl() const { return *FPrivate->FFlowControl; }
TComTimeouts& TCustomComPort::Timeouts() { return *FPrivate->FTimeouts; }
const TComTimeouts& TCustomComPort::Timeouts() const { return *FPrivate->FTimeouts; }
TComBuffer& TCustomComPort::Buffer() { return *FPrivate->FBuffer; }
const TComBuffer& TCustomComPort::Buffer() const { return *FPrivate->FBuffer; }
TSettingsGroups TCustomComPort::SettingsGroups() const { return FPrivate->FSettingsGroups; }
void TCustomComPort::SetSettingsGroups(TSettingsGroups Value) { FPrivate->FSettingsGroups = Value; }
int32_t TCustomComPort::SettingsUpdateDepth() const { return FPrivate->FSettingsUpdateDepth; }
bool TCustomComPort::EventThreadActive() const { return FPrivate->FEventThreadActive; }
bool TCustomComPort::RxCharAnnounced() const { return FPrivate->FAnnounceRxChar && !FPrivate->FBufferLinked; }
bool TCustomComPort::BufferLinked() const { return FPrivate->FBufferLinked; }
device::SerialDevice* TCustomComPort::DeviceHandle() const { return Device().get(); }
