#pragma once
// The port's private state, behind TCustomComPort: ComPort.h carries only the
// API and the points a subclass overrides, so a field added here changes
// nothing a program compiled against the component sees. It is the port's
// only friend: the event thread, the main-loop events, the window hand-over
// and the settings objects reach the port's internals through it.
#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComSettings.h>
#include <velt/comport/device/SerialDevice.h>

class LineLogDevice;
class TComLoopEvents;
class TLineLog;
class TComThread;
class TNotifyWindow;

class TComPortPrivate {
public:
    TComPortPrivate();
    ~TComPortPrivate();
    TComPortPrivate(const TComPortPrivate&) = delete;
    TComPortPrivate& operator=(const TComPortPrivate&) = delete;

    static TComPortPrivate& Of(TCustomComPort& Port) { return *Port.FPrivate; }
    // What the hand-over needs of the port.
    static device::SerialDevice* DeviceOf(const TCustomComPort& Port) { return Port.DeviceHandle(); }
    // What a settings object asks of the port it belongs to.
    static void ApplyLineSettings(TCustomComPort& Port) { Port.ApplyLineSettings(); }
    static void ApplyTimeoutSettings(TCustomComPort& Port) { Port.ApplyTimeoutSettings(); }
    static void ApplyBufferSettings(TCustomComPort& Port) { Port.ApplyBufferSettings(); }

    std::unique_ptr<TComThread> FComThread;
    // Instead of the thread, where the main loop waits on the device.
    std::shared_ptr<TComLoopEvents> FLoopEvents;
    bool FEventThreadActive = false;
    // Guards FDeviceHandle: a plain lock, which the thread checker follows
    // (the atomic shared pointer of the standard library releases its inner
    // lock in a way the checker cannot see).
    mutable std::mutex FDeviceMutex;
    std::shared_ptr<device::SerialDevice> FDeviceHandle;
    std::shared_future<void> FDeviceReleased; // ready once the device is closed
    // What the device was told; -1 nothing yet. Writes on several threads
    // may ask at once.
    std::atomic<int8_t> FTxEmptyWanted{-1};
    // The subclass said it does not replace TriggerTxEmpty (KeepsTriggerTxEmpty).
    bool FTxEmptyTriggerKept = false;
    std::unique_ptr<TNotifyWindow> FNotifyWnd;
    // The line log, and the device that records into it while one is open.
    std::shared_ptr<TLineLog> FLineLog;
    LineLogDevice* FLogDevice = nullptr;
    int32_t FSettingsUpdateDepth = 0;
    uint32_t FSettingsUpdatesEnded = 0; // outermost updates ended: tells a dialog's confirm
    std::vector<TPortLink*> FLinkList;
    bool FAnnounceRxChar = true;
    int FThreadPriority = 0;
    bool FBufferLinked = false;
    bool FConnected = false;
    TBaudRate FBaudRate = br9600;
    int32_t FCustomBaudRate = 9600;
    std::string FPort = "COM1";
    std::string FAdapterIdentity;
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = dbEight;
    bool FDiscardNull = false;
    bool FLowLatency = false;
    // What the open device was last asked for; a new device starts as its
    // driver has it, so a port that never asks makes no call.
    bool FDeviceLowLatency = false;
    uint8_t FEventChar = 0;
    TComEvents FEvents = AllComEvents();
    std::unique_ptr<TComBuffer> FBuffer;
    std::unique_ptr<TComParity> FParity;
    std::unique_ptr<TComTimeouts> FTimeouts;
    std::unique_ptr<TComFlowControl> FFlowControl;
    TSyncMethod FSyncMethod = smThreadSync;
    TSettingsGroups FSettingsGroups{sgBasic};
};
