// Turning line events into the port's notifications, the open and close
// notifications, and telling the attached links.
#include <algorithm>
#include <memory>

#include <velt/comport/ComPort.h>

#include "ComPortPrivate.h"

// ---- The overridable notification calls -------------------------------------

void TCustomComPort::TriggerAfterClose()
{
    if (OnAfterClose)
        OnAfterClose(this);
}
void TCustomComPort::TriggerAfterOpen()
{
    if (OnAfterOpen)
        OnAfterOpen(this);
}
void TCustomComPort::TriggerBeforeClose()
{
    if (OnBeforeClose)
        OnBeforeClose(this);
}
void TCustomComPort::TriggerBeforeOpen()
{
    if (OnBeforeOpen)
        OnBeforeOpen(this);
}
void TCustomComPort::TriggerRxChar(int32_t Count)
{
    if (OnRxChar)
        OnRxChar(this, Count);
}
void TCustomComPort::TriggerRxBuf(const char* Buffer, int32_t Count)
{
    if (OnRxBuf)
        OnRxBuf(this, Buffer, Count);
}
void TCustomComPort::TriggerTxEmpty()
{
    if (OnTxEmpty)
        OnTxEmpty(this);
}
void TCustomComPort::TriggerBreak()
{
    if (OnBreak)
        OnBreak(this);
}
void TCustomComPort::TriggerRing()
{
    if (OnRing)
        OnRing(this);
}
void TCustomComPort::TriggerRxFlag()
{
    if (OnRxFlag)
        OnRxFlag(this);
}
void TCustomComPort::TriggerCTSChange(bool OnOff)
{
    if (OnCTSChange)
        OnCTSChange(this, OnOff);
}
void TCustomComPort::TriggerDSRChange(bool OnOff)
{
    if (OnDSRChange)
        OnDSRChange(this, OnOff);
}
void TCustomComPort::TriggerError(TComErrors Errors)
{
    if (OnError)
        OnError(this, Errors);
}
void TCustomComPort::TriggerRLSDChange(bool OnOff)
{
    if (OnRLSDChange)
        OnRLSDChange(this, OnOff);
}
void TCustomComPort::TriggerRx80Full()
{
    if (OnRx80Full)
        OnRx80Full(this);
}

// ---- Processing one line event ------------------------------------------------

void TCustomComPort::ProcessRxChar()
{
    int32_t count = InQueueCount();
    if (count > 0)
        BroadcastLinkState(lnRx, true);
    if (count > 0 && !RxCharAnnounced()) {
        // The port reads the bytes itself and hands them out as a buffer:
        // first to OnRxBuf, then to every link that takes buffers.
        std::unique_ptr<char[]> buffer;
        auto readOnce = [&] {
            if (buffer)
                return;
            buffer = std::make_unique<char[]>(static_cast<size_t>(count));
            ReadBytes(buffer.get(), count);
            TriggerRxBuf(buffer.get(), count);
        };
        const size_t links = FPrivate->FLinkList.size();
        for (size_t i = 0; i < links && i < FPrivate->FLinkList.size(); ++i) {
            TPortLink* link = FPrivate->FLinkList[i];
            if (link->OnLinkRxBuf) {
                readOnce();
                link->OnLinkRxBuf(this, buffer.get(), count);
            }
        }
        if (!buffer && !FPrivate->FAnnounceRxChar)
            readOnce();
        if (buffer)
            count = 0;
    }
    if (count > 0)
        TriggerRxChar(count);
}

void TCustomComPort::ProcessTxEmpty()
{
    BroadcastLinkState(lnTx, false);
    BroadcastLinkEvent(lnTxEmpty);
    TriggerTxEmpty();
}

void TCustomComPort::ProcessRxFlag()
{
    BroadcastLinkEvent(lnRxFlag);
    TriggerRxFlag();
}

void TCustomComPort::ProcessRing()
{
    BroadcastLinkEvent(lnRing);
    TriggerRing();
}

void TCustomComPort::ProcessBreak() { TriggerBreak(); }
void TCustomComPort::ProcessRx80Full() { TriggerRx80Full(); }

void TCustomComPort::ProcessError()
{
    const TComErrors errors = FetchLineErrors();
    if (!errors.Empty())
        TriggerError(errors);
}

void TCustomComPort::ProcessCTSChange()
{
    const bool on = LineSignals().Contains(lsCTS);
    BroadcastLinkState(lnCTS, on);
    TriggerCTSChange(on);
}

void TCustomComPort::ProcessDSRChange()
{
    const bool on = LineSignals().Contains(lsDSR);
    BroadcastLinkState(lnDSR, on);
    TriggerDSRChange(on);
}

void TCustomComPort::ProcessRLSDChange()
{
    const bool on = LineSignals().Contains(lsRLSD);
    BroadcastLinkState(lnRLSD, on);
    TriggerRLSDChange(on);
}

// ---- Opening and closing ------------------------------------------------------

void TCustomComPort::ProcessBeforeOpen() { TriggerBeforeOpen(); }

void TCustomComPort::ProcessAfterOpen()
{
    BroadcastLinkState(lnConn, true);
    TriggerAfterOpen();
    ReportSignals(true);
}

void TCustomComPort::ProcessBeforeClose()
{
    ReportSignals(false);
    TriggerBeforeClose();
}

void TCustomComPort::ProcessAfterClose()
{
    BroadcastLinkState(lnConn, false);
    TriggerAfterClose();
}

void TCustomComPort::ReportSignals(bool Opened)
{
    if (Opened) {
        ProcessCTSChange();
        ProcessDSRChange();
        ProcessRLSDChange();
        return;
    }
    BroadcastLinkState(lnCTS, false);
    BroadcastLinkState(lnDSR, false);
    BroadcastLinkState(lnRLSD, false);
    TriggerCTSChange(false);
    TriggerDSRChange(false);
    TriggerRLSDChange(false);
}

// ---- Links --------------------------------------------------------------------

void TCustomComPort::RegisterLink(TPortLink* Link)
{
    if (Link == nullptr ||
        std::find(FPrivate->FLinkList.begin(), FPrivate->FLinkList.end(), Link) != FPrivate->FLinkList.end())
        throw EComPort(peLinkFailed, device::InvalidArgumentError());
    FPrivate->FLinkList.push_back(Link);
    if (Link->OnLinkRxBuf)
        FPrivate->FBufferLinked = true;
}

void TCustomComPort::UnRegisterLink(TPortLink* Link)
{
    auto it = std::find(FPrivate->FLinkList.begin(), FPrivate->FLinkList.end(), Link);
    if (it == FPrivate->FLinkList.end())
        throw EComPort(peLinkFailed, device::InvalidArgumentError());
    FPrivate->FLinkList.erase(it);
    FPrivate->FBufferLinked = std::any_of(FPrivate->FLinkList.begin(), FPrivate->FLinkList.end(),
                                          [](const TPortLink* l) { return static_cast<bool>(l->OnLinkRxBuf); });
}

// Calls every link attached when the broadcast began; a link detached by an
// earlier handler of the same broadcast is skipped rather than touched.
void TCustomComPort::CallLinks(const std::function<void(TPortLink&)>& Call)
{
    const std::vector<TPortLink*> links = FPrivate->FLinkList;
    for (TPortLink* link : links)
        if (std::find(FPrivate->FLinkList.begin(), FPrivate->FLinkList.end(), link) != FPrivate->FLinkList.end())
            Call(*link);
}

void TCustomComPort::BroadcastLinkState(TLinkNotice Kind, bool OnOff)
{
    if (FPrivate->FLinkList.empty())
        return;
    TLinkStateEvent TPortLink::*handler = nullptr;
    switch (Kind) {
    case lnConn:
        handler = &TPortLink::OnLinkConn;
        break;
    case lnCTS:
        handler = &TPortLink::OnLinkCTS;
        break;
    case lnDSR:
        handler = &TPortLink::OnLinkDSR;
        break;
    case lnRLSD:
        handler = &TPortLink::OnLinkRLSD;
        break;
    case lnRx:
        handler = &TPortLink::OnLinkRx;
        break;
    case lnTx:
        handler = &TPortLink::OnLinkTx;
        break;
    default:
        return;
    }
    CallLinks([&](TPortLink& link) {
        if (link.*handler)
            (link.*handler)(this, OnOff);
    });
}

void TCustomComPort::BroadcastLinkEvent(TLinkNotice Kind)
{
    if (FPrivate->FLinkList.empty())
        return;
    TLinkEvent TPortLink::*handler = nullptr;
    switch (Kind) {
    case lnRing:
        handler = &TPortLink::OnLinkRing;
        break;
    case lnTxEmpty:
        handler = &TPortLink::OnLinkTxEmpty;
        break;
    case lnRxFlag:
        handler = &TPortLink::OnLinkRxFlag;
        break;
    default:
        return;
    }
    CallLinks([&](TPortLink& link) {
        if (link.*handler)
            (link.*handler)(this);
    });
}

void TCustomComPort::BroadcastSentData(const char* Buffer, int32_t Count)
{
    if (FPrivate->FLinkList.empty())
        return;
    CallLinks([&](TPortLink& link) {
        if (link.OnLinkTxBuf)
            link.OnLinkTxBuf(this, Buffer, Count);
    });
}
