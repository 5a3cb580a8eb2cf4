// Placeholder until the event thread lands: waits for the quit request only.
#include "ComThread.h"

#include "ComPort.h"

TComThread::TComThread(TCustomComPort& Port) : FOwnerPort(Port)
{
    FOwnerPort.DeviceHandle()->SetEventMask(EventsToMask(FOwnerPort.Events()));
    FThread = std::thread([this] { WaitLoop(); });
}

TComThread::~TComThread()
{
    RequestQuit();
    FThread.join();
}

void TComThread::RequestQuit() { FQuitEvent.Set(); }

void TComThread::WaitLoop()
{
    uint32_t occurred = 0;
    int error = 0;
    FOwnerPort.DeviceHandle()->WaitEvents(FQuitEvent, occurred, error);
}

void TComThread::HandOver() {}
void TComThread::SendEventCodes() {}
void TComThread::DeliverEvents() {}
void TNotifyWindow::SendEventCode(uint32_t) {}
void TCustomComPort::NotifyWndProc(uint32_t) {}
