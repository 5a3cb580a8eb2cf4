#pragma once
// Line events waited for by the program's main loop instead of an event
// thread: the loop watches the device's waitable object, and each time it is
// signalled the events are taken and processed right there, on the main
// thread, in the delivery order (the thread hand-over; the window hand-over
// with each event on its own). Handlers see what
// they would see with the event thread.
#include <cstdint>
#include <memory>

#include <velt/comport/ComTypes.h>
#include <velt/comport/device/ManualResetEvent.h>

class MainLoopWatcher;
class TCustomComPort;

class TComLoopEvents : public std::enable_shared_from_this<TComLoopEvents> {
public:
    // Sets the device's event mask from the port's Events; Start watches
    // Waitable, the device's waitable object.
    TComLoopEvents(TCustomComPort& Port, MainLoopWatcher& Loop);
    ~TComLoopEvents();
    TComLoopEvents(const TComLoopEvents&) = delete;
    TComLoopEvents& operator=(const TComLoopEvents&) = delete;

    void Start(device::WaitHandle Waitable);
    // For Close, before the device goes: stops watching, delivers the events
    // the device has signalled already (the port still open), then the device
    // stops reporting events and discards its queues.
    void Stop();

    // Whether the caller runs inside a delivery that closing would wait for:
    // with the thread hand-over, every handler of a delivery.
    bool IsCurrentDelivery() const;

private:
    void OnSignalled();
    void Deliver(TComEvents Events);
    void Watch();
    void StopWatching();

    TCustomComPort& FPort;
    MainLoopWatcher& FLoop;
    const TSyncMethod FSyncMethod;
    device::WaitHandle FWaitable{};
    int FWatchId = 0;
    bool FDelivering = false;
    // A handler's nested loop found the device signalled: the watch rests
    // until that delivery has ended, so that deliveries never nest.
    bool FWatchResting = false;
    bool FStopped = false;
};
