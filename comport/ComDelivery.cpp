#include "ComDelivery.h"

#include <array>

#include <velt/comport/ComPort.h>

namespace {

constexpr std::array<TComEvent, 10> kDeliveryOrder = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                                      evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};

} // namespace

void DeliverInOrder(TCustomComPort& Port, TComEvents Events)
{
    for (TComEvent event : kDeliveryOrder) {
        if (!Events.Contains(event))
            continue;
        switch (event) {
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
}

void SendCodesInOrder(TComEvents Events, const std::function<void(uint32_t Code)>& Send)
{
    for (TComEvent event : kDeliveryOrder)
        if (Events.Contains(event))
            Send(EventMaskBit(event));
}
