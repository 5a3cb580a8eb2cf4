#pragma once
/// @file
/// A listener that another component attaches to a port: it hears of opening
/// and closing, line changes and the bytes moved, through optional handlers.
#include <velt/comport/Export.h>
#include <cstdint>
#include <functional>

class TComponent;

enum TLinkNotice : uint8_t { lnConn, lnCTS, lnDSR, lnRLSD, lnRing, lnRx, lnTx, lnTxEmpty, lnRxFlag };

using TLinkStateEvent = std::function<void(TComponent* Sender, bool OnOff)>;
using TLinkEvent = std::function<void(TComponent* Sender)>;
using TLinkBufEvent = std::function<void(TComponent* Sender, const char* Buffer, int32_t Count)>;

class VELT_COMPORT_EXPORT TPortLink {
public:
    TLinkStateEvent OnLinkConn;
    TLinkBufEvent OnLinkRxBuf;
    TLinkBufEvent OnLinkTxBuf;
    TLinkEvent OnLinkTxEmpty;
    TLinkEvent OnLinkRxFlag;
    TLinkStateEvent OnLinkCTS;
    TLinkStateEvent OnLinkDSR;
    TLinkStateEvent OnLinkRLSD;
    TLinkEvent OnLinkRing;
    TLinkStateEvent OnLinkTx;
    TLinkStateEvent OnLinkRx;
};
