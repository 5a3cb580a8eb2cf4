#pragma once
// The event thread of an open port: it waits for the line events of the
// port's Events set and hands every completed wait over to the processing
// operations, the way the port's SyncMethod chooses.
#include <atomic>
#include <exception>
#include <thread>

#include "ComTypes.h"
#include "device/ManualResetEvent.h"

class TCustomComPort;

class TComThread {
public:
    // Sets the device's event mask from the port's Events and starts waiting.
    explicit TComThread(TCustomComPort& Port);
    // Asks the thread to end and waits for it, serving the main-thread
    // hand-overs meanwhile so that one in flight completes.
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    void RequestQuit();

private:
    void WaitLoop();
    void HandOver();
    void SendEventCodes();
    void DeliverEvents();

    TCustomComPort& FOwnerPort;
    device::ManualResetEvent FQuitEvent;
    TComEvents FPendingEvents;
    std::atomic<bool> FEnded{false};
    std::thread FThread;
};

// Stands in for the hidden window of the window hand-over: events sent to it
// from the event thread are processed on the main thread.
class TNotifyWindow {
public:
    explicit TNotifyWindow(TCustomComPort& Port) : FPort(Port) {}
    // Called on the event thread: blocks until the main thread has started
    // handling the code.
    void SendEventCode(uint32_t Code);

private:
    TCustomComPort& FPort;
};
