#include "ComDelivery.h"

#include <array>

#include <velt/comport/ComPort.h>
#include <velt/comport/framework/ExceptionReport.h>

#include "ComPortPrivate.h"

namespace {

constexpr std::array<TComEvent, 10> kDeliveryOrder = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                                      evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};

void Process(TCustomComPort& Port, TComEvent Event)
{
    switch (Event) {
    case evError:
        Port.ProcessError();
        break;
    case evRxChar:
        Port.ProcessRxChar();
        break;
    case evTxEmpty:
        Port.ProcessTxEmpty();
        break;
    case evBreak:
        Port.ProcessBreak();
        break;
    case evRing:
        Port.ProcessRing();
        break;
    case evCTS:
        Port.ProcessCTSChange();
        break;
    case evDSR:
        Port.ProcessDSRChange();
        break;
    case evRxFlag:
        Port.ProcessRxFlag();
        break;
    case evRLSD:
        Port.ProcessRLSDChange();
        break;
    case evRx80Full:
        Port.ProcessRx80Full();
        break;
    }
}

} // namespace

void DeliverInOrder(TCustomComPort& Port, TComEvents Events)
{
    for (TComEvent event : kDeliveryOrder)
        if (Events.Contains(event))
            Process(Port, event);
}

void DeliverEachOnItsOwn(TCustomComPort& Port, TComEvents Events)
{
    for (TComEvent event : kDeliveryOrder) {
        if (!Events.Contains(event) || !TComPortPrivate::Of(Port).FConnected)
            continue;
        try {
            Process(Port, event);
        } catch (...) {
            ReportException(std::current_exception());
        }
    }
}

void CleanUpDeviceEvents(device::SerialDevice& Device)
{
    static_cast<void>(Device.SetEventMask(0));
    static_cast<void>(Device.Purge(device::kPurgeTxClear | device::kPurgeRxClear));
}
