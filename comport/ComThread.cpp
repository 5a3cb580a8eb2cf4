// The event thread and the hand-over of line events to the processing
// operations: on the main thread waiting for them (thread hand-over), on the
// main thread without waiting for them (window hand-over), or on the event
// thread itself.
#include "ComThread.h"
#include "ComPortPrivate.h"

#include "ComDelivery.h"
#include "NotifyWindow.h"
#include <velt/comport/ComPort.h>
#include <velt/comport/framework/ExceptionReport.h>
#include <velt/comport/framework/MainThreadQueue.h>

// ---- Starting and stopping ------------------------------------------------------

TComThread::TComThread(TCustomComPort& Port) : FOwnerPort(Port), FSyncMethod(Port.SyncMethod())
{
    // The first user of the queue becomes the main thread unless the
    // application named one: make sure that is the opener, not this thread.
    MainThreadQueue::Instance();
    // A mask the device refuses makes its waits fail, and a failed wait is
    // reported by the loop: the result needs no look of its own here.
    static_cast<void>(TComPortPrivate::DeviceOf(FOwnerPort)->SetEventMask(EventsToMask(FOwnerPort.Events())));
    FThread = std::thread([this] { WaitLoop(); });
}

TComThread::~TComThread()
{
    RequestQuit();
    MainThreadQueue& queue = MainThreadQueue::Instance();
    // The thread may be blocked in a hand-over to the main thread: if that is
    // us, keep serving until it has ended, or neither could go on.
    if (queue.IsMainThread())
        queue.WaitWhileServing([this] { return FEnded.load(); });
    FThread.join();
}

void TComThread::RequestQuit() { FQuitEvent.Set(); }

bool TComThread::IsCurrentDelivery() const
{
    return std::this_thread::get_id() == FThread.get_id() || FDeliveringOnMain.load();
}

// ---- The wait loop --------------------------------------------------------------

void TComThread::WaitLoop()
{
    device::SerialDevice& device = *TComPortPrivate::DeviceOf(FOwnerPort);
    for (;;) {
        uint32_t occurred = 0;
        int error = 0;
        // One wait without a time limit; a quit request wins over events
        // that completed at the same time. A failed wait ends the loop.
        if (device.WaitEvents(FQuitEvent, occurred, error) != device::WaitOutcome::Events)
            break;
        FPendingEvents = MaskToEvents(occurred);
        if (!FPendingEvents.Empty()) {
            try {
                HandOver();
            } catch (...) {
                // A failed hand-over must not end the thread: the port would
                // stay open and silent until reopened.
                ReportOnMainThread(std::current_exception());
            }
        }
        device.EventsDelivered();
    }
    CleanUpDeviceEvents(device);
    FEnded = true;
    MainThreadQueue::Instance().WakeWaiters();
}

// ---- Hand-over -------------------------------------------------------------------

void TComThread::HandOver()
{
    switch (FSyncMethod) {
    case smThreadSync:
        MainThreadQueue::Instance().RunOnMain([this] {
            FDeliveringOnMain = true;
            DeliverReportingFailure();
            FDeliveringOnMain = false;
        });
        break;
    case smWindowSync:
        TComPortPrivate::Of(FOwnerPort).FNotifyWnd->SendEvents(FPendingEvents);
        break;
    case smNone:
        DeliverReportingFailure();
        break;
    }
}

// A handler that fails ends the delivery of this wait (the later events of
// the wait are not processed) and is reported on the main thread; the
// thread goes on waiting.
void TComThread::DeliverReportingFailure()
{
    try {
        DeliverEvents();
    } catch (...) {
        ReportOnMainThread(std::current_exception());
    }
}

void TComThread::DeliverEvents() { DeliverInOrder(FOwnerPort, FPendingEvents); }

// On the main thread the report runs at once; from the event thread it waits
// until the main thread has shown it, so reports never pile up.
void TComThread::ReportOnMainThread(std::exception_ptr Error)
{
    // With smNone and no main loop the component knows, the main thread may
    // serve the queue only at Close: waiting for it would silence the port
    // until then. The report is made on this thread, which runs the
    // program's handlers anyway.
    if (FSyncMethod == smNone && MainThreadQueue::Instance().LoopWatcher() == nullptr) {
        ReportException(Error);
        return;
    }
    try {
        MainThreadQueue::Instance().RunOnMain([Error] { ReportException(Error); });
    } catch (...) {
        // ReportException does not throw; nothing sensible is left to do.
    }
}

// ---- Window hand-over ------------------------------------------------------------

// The window's code is the device's mask of the events of one wait; on the
// main thread, the sender already released, they are delivered each on its own.
TNotifyWindow::TNotifyWindow(TCustomComPort& Port)
    : FWindow(std::make_unique<NotifyWindow>([&Port](uint32_t Code) { DeliverEachOnItsOwn(Port, MaskToEvents(Code)); }))
{
}

TNotifyWindow::~TNotifyWindow() = default;

void TNotifyWindow::SendEvents(TComEvents Events) { FWindow->Send(EventsToMask(Events)); }
