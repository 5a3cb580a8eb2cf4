#pragma once
/// @file
/// A listener that another component attaches to a port: it hears of opening
/// and closing, line changes and the bytes moved, through optional handlers.
#include <velt/comport/Export.h>
#include <cstdint>
#include <functional>

class TComponent;

/// The kinds of news a link hears.
enum TLinkNotice : uint8_t { lnConn, lnCTS, lnDSR, lnRLSD, lnRing, lnRx, lnTx, lnTxEmpty, lnRxFlag };

/// A link handler told a new state (true: on, open, busy).
using TLinkStateEvent = std::function<void(TComponent* Sender, bool OnOff)>;
/// A link handler told that something happened.
using TLinkEvent = std::function<void(TComponent* Sender)>;
/// A link handler given bytes received or sent.
using TLinkBufEvent = std::function<void(TComponent* Sender, const char* Buffer, int32_t Count)>;

/// A listener attached to a port with TCustomComPort::RegisterLink(): every
/// assigned handler hears of the port, in the order the links were attached.
class VELT_COMPORT_EXPORT TPortLink {
public:
    TLinkStateEvent OnLinkConn; ///< The port opened (true) or closed (false).
    TLinkBufEvent OnLinkRxBuf;  ///< Bytes received (the link then reads them instead of OnRxChar).
    TLinkBufEvent OnLinkTxBuf;  ///< Bytes written.
    TLinkEvent OnLinkTxEmpty;   ///< The transmitter ran empty.
    TLinkEvent OnLinkRxFlag;    ///< The event character arrived.
    TLinkStateEvent OnLinkCTS;  ///< CTS changed.
    TLinkStateEvent OnLinkDSR;  ///< DSR changed.
    TLinkStateEvent OnLinkRLSD; ///< The carrier detect line changed.
    TLinkEvent OnLinkRing;      ///< The ring indicator came on.
    TLinkStateEvent OnLinkTx;   ///< Sending started (true) or ended (false).
    TLinkStateEvent OnLinkRx;   ///< Receiving started (true) or the input queue ran empty (false).
};
