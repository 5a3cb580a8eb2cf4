#include "ComLoopEvents.h"
#include "ComPortPrivate.h"

#include "ComDelivery.h"
#include <velt/comport/ComPort.h>
#include <velt/comport/framework/ExceptionReport.h>
#include <velt/comport/framework/MainLoopWatcher.h>
#include <velt/comport/framework/MainThreadQueue.h>

TComLoopEvents::TComLoopEvents(TCustomComPort& Port, MainLoopWatcher& Loop)
    : FPort(Port), FLoop(Loop), FSyncMethod(Port.SyncMethod())
{
    // A mask the device refuses makes its waits fail, and a failed wait is
    // reported by the loop: the result needs no look of its own here.
    static_cast<void>(TComPortPrivate::DeviceOf(FPort)->SetEventMask(EventsToMask(FPort.Events())));
}

TComLoopEvents::~TComLoopEvents() { StopWatching(); }

void TComLoopEvents::Start(device::WaitHandle Waitable)
{
    FWaitable = Waitable;
    Watch();
}

void TComLoopEvents::Watch()
{
    // The loop may call back after this object is gone from the port (a
    // handler closed it): the call then holds it until it returns.
    std::weak_ptr<TComLoopEvents> self = weak_from_this();
    FWatchId = FLoop.Watch(FWaitable, [self] {
        if (auto events = self.lock())
            events->OnSignalled();
    });
}

// A loop that has gone meanwhile (the Qt adapter goes with the application)
// took its watches with it.
void TComLoopEvents::StopWatching()
{
    if (FWatchId != 0 && MainThreadQueue::Instance().LoopWatcher() == &FLoop)
        FLoop.Unwatch(FWatchId);
    FWatchId = 0;
}

void TComLoopEvents::OnSignalled()
{
    if (FStopped)
        return;
    if (IsCurrentDelivery()) {
        // A handler of this port runs a nested loop: what the device holds
        // stays there, in order, until that handler has returned.
        StopWatching();
        FWatchResting = true;
        return;
    }
    device::SerialDevice& device = *TComPortPrivate::DeviceOf(FPort);
    uint32_t occurred = 0;
    int error = 0;
    if (device.CheckEvents(occurred, error) != device::WaitOutcome::Events) {
        // As with a failed wait of the event thread: no more events.
        StopWatching();
        FStopped = true;
        CleanUpDeviceEvents(device);
        return;
    }
    const TComEvents events = MaskToEvents(occurred);
    if (!events.Empty())
        Deliver(events);
    if (FStopped) // a handler may have closed the port, device and all
        return;
    device.EventsDelivered();
    if (FWatchResting) {
        // The device is still signalled: the loop's next turn delivers.
        FWatchResting = false;
        Watch();
    }
}

// A failing handler is reported and ends the delivery of this wait with the
// thread hand-over; with the window hand-over each event has its own guard.
void TComLoopEvents::Deliver(TComEvents Events)
{
    // With the window hand-over a nested loop may deliver the next wait's
    // events: the mark outlives such an inner delivery.
    struct Mark {
        bool& Flag;
        const bool Before;
        explicit Mark(bool& F) : Flag(F), Before(F) { Flag = true; }
        ~Mark() { Flag = Before; }
    } delivering(FDelivering);
    if (FSyncMethod == smWindowSync) {
        DeliverEachOnItsOwn(FPort, Events);
        return;
    }
    try {
        DeliverInOrder(FPort, Events);
    } catch (...) {
        ReportException(std::current_exception());
    }
}

void TComLoopEvents::Stop()
{
    if (FStopped)
        return;
    StopWatching();
    // What the loop would have delivered at its next turn is delivered now,
    // as a hand-over in flight completes while the event thread stops.
    if (!FDelivering) {
        uint32_t occurred = 0;
        int error = 0;
        if (TComPortPrivate::DeviceOf(FPort)->CheckEvents(occurred, error) == device::WaitOutcome::Events &&
            occurred != 0)
            Deliver(MaskToEvents(occurred));
    }
    FStopped = true;
    CleanUpDeviceEvents(*TComPortPrivate::DeviceOf(FPort));
}

bool TComLoopEvents::IsCurrentDelivery() const { return FDelivering && FSyncMethod != smWindowSync; }
