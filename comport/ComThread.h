#pragma once
// The event thread of an open port: it waits for the line events of the
// port's Events set and hands every completed wait over to the processing
// operations, the way the port's SyncMethod chooses.
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <thread>

#include <velt/comport/ComTypes.h>
#include <velt/comport/device/ManualResetEvent.h>

class NotifyWindow;
class TCustomComPort;

class TComThread {
public:
    // Sets the device's event mask from the port's Events and starts waiting.
    explicit TComThread(TCustomComPort& Port);
    // Asks the thread to end and waits for it; on the main thread it serves
    // the main-thread hand-overs meanwhile, so that one in flight completes.
    ~TComThread();
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    // Asks the thread to end; it may still finish a hand-over first.
    void RequestQuit();

    // Whether the caller runs inside this thread's delivery of events (on the
    // event thread itself, or on the main thread during a thread hand-over),
    // where waiting for the thread to end could never return.
    bool IsCurrentDelivery() const;

private:
    void WaitLoop();
    void HandOver();
    void DeliverEvents();
    void DeliverReportingFailure();
    void ReportOnMainThread(std::exception_ptr Error);

    TCustomComPort& FOwnerPort;
    // Lives as long as the thread object, so a stop request after the body
    // ended by itself still finds it open.
    device::ManualResetEvent FQuitEvent;
    // The hand-over chosen at open; SyncMethod cannot change while open.
    const TSyncMethod FSyncMethod;
    TComEvents FPendingEvents;
    std::atomic<bool> FEnded{false};
    std::atomic<bool> FDeliveringOnMain{false};
    std::thread FThread;
};

// The port's hidden window of the window hand-over: the events of a wait sent
// to it from the event thread are processed on the main thread, the sender
// released at the start. Created on the main thread, just before the event
// thread.
class TNotifyWindow {
public:
    explicit TNotifyWindow(TCustomComPort& Port);
    ~TNotifyWindow();
    TNotifyWindow(const TNotifyWindow&) = delete;
    TNotifyWindow& operator=(const TNotifyWindow&) = delete;

    // Called on the event thread: blocks only until the main thread has
    // started handling the events.
    void SendEvents(TComEvents Events);

private:
    std::unique_ptr<NotifyWindow> FWindow;
};
