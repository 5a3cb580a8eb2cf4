#pragma once
// The flow-control settings of the device control record that the kernel has
// no switch for, done beside the receive queue and the write path:
// - DSR sensitivity: bytes taken in while DSR is off are dropped;
// - output flow on CTS alone (the kernel's CRTSCTS would also drive RTS) and
//   on DSR: output waits while the line is off;
// - input flow control at the queue levels: past InputSize - XoffLim queued
//   bytes DTR (DTR handshake) and RTS (RTS handshake without CTS flow) drop
//   and XOFF is sent (XonXoffIn); below XonLim they rise and XON is sent;
// - with XonXoffIn and not TxContinueOnXoff, output stops while XOFF holds;
// - RTS toggling where the driver has no RS-485 mode: RTS rises before bytes
//   are written and drops once the line is empty.
// Not thread-safe: the device calls it with its mutex held. Nothing here
// blocks.
#include <cstddef>
#include <cstdint>

#include "ModemLineSource.h"
#include "SerialDevice.h"

namespace device {

class FlowControl {
public:
    // Fd: the tty, for XON/XOFF and the kernel's output count. Lines: its
    // modem lines. Neither is owned.
    FlowControl(int Fd, ModemLineSource& Lines) : FFd(Fd), FLines(&Lines) {}

    void UseModemLines(ModemLineSource& Lines) { FLines = &Lines; }

    // 0, or the error number of a record whose flow control cannot be had
    // here: a setting that needs modem input lines on a line without any
    // (ENOTTY, as the line answers), the same character for XON and XOFF
    // (EINVAL). Checked before anything reaches the line.
    int Check(const DeviceControlBlock& Dcb);
    // Takes the flow-control part of Dcb, and drives DTR and RTS as it asks.
    // KernelRtsCts: the kernel does RTS/CTS flow. DriverToggles: the driver
    // toggles RTS itself (RS-485 mode). 0 or errno.
    int Configure(const DeviceControlBlock& Dcb, bool KernelRtsCts, bool DriverToggles);
    // The input size asked for and the queue's capacity: the levels follow
    // the smaller of the two.
    void SetQueueSizes(uint32_t InputSize, size_t Capacity);

    // ---- the receive queue ----
    // Whether bytes taken in now are kept (false while DSR sensitivity holds
    // them off).
    bool KeepsInput();
    // The queue holds Count bytes now (after bytes entered or left it). True
    // when output may have been released (XON sent): waiting writes should
    // look again.
    bool QueueLevel(size_t Count);

    // ---- the write path ----
    // Whether output may go now. When not, the write waits for an input-line
    // change or for QueueLevel to release it.
    bool MayTransmit();
    // Bytes are about to be written (RTS toggling raises RTS). True when it
    // needs AfterTransmit once they have been.
    bool BeforeTransmit();
    void AfterTransmit() { --FTransmitting; }
    // Whether it needs to hear when the output has drained (RTS is up for
    // toggling).
    bool WantsLineEmpty() const { return FRtsToggle && FRtsUp; }
    // The output has drained: RTS toggling drops RTS unless bytes are still
    // being written or sent.
    void LineEmpty();
    // Whether it needs to hear of CTS and DSR changes.
    bool WatchesInputLines() const { return FOutCts || FOutDsr; }

private:
    struct Levels {
        size_t StopAbove = 0;
        size_t ResumeBelow = 1;
    };

    bool ThrottlesInput() const { return FInX || FDtrHandshake || FRtsHandshake; }
    void UpdateLevels();
    void Throttle();
    void Release();
    void SendFlowChar(bool Xoff);
    int DriveRts(bool On);
    bool InputLineOn(uint32_t Bit);
    bool TransmitterIdle() const;

    int FFd;
    ModemLineSource* FLines;

    bool FDsrSensitive = false;
    bool FOutCts = false;
    bool FOutDsr = false;
    bool FInX = false;
    bool FHoldOnXoff = false;
    bool FDtrHandshake = false;
    bool FRtsHandshake = false;
    bool FRtsToggle = false;
    uint8_t FXonChar = 0x11;
    uint8_t FXoffChar = 0x13;
    uint16_t FXonLim = 0;
    uint16_t FXoffLim = 0;

    size_t FInputSize = 0; // 0: the capacity
    size_t FCapacity = 0;
    Levels FLevels;

    bool FThrottled = false;
    bool FXoffSent = false;
    bool FRtsUp = false;
    int FTransmitting = 0;
};

} // namespace device
