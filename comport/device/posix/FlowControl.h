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
//   are written and drops once the line is empty;
// - the output size: at most that many bytes wait in the driver's queue, so
//   that a write ends, times out or is purged with no more than that still
//   to go out.
// Not thread-safe: the device calls it with its mutex held. Nothing here
// blocks.
#include <cstddef>
#include <cstdint>

#include "LineSource.h"
#include <velt/comport/device/SerialDevice.h>

namespace device {

class FlowControl {
public:
    // Fd: the tty, for sending XON and XOFF. Lines: its modem lines and
    // output count. Neither is owned.
    FlowControl(int Fd, LineSource& Lines) : FFd(Fd), FLines(&Lines) {}

    void UseLineSource(LineSource& Lines) { FLines = &Lines; }

    // 0, or the error number of a record whose flow control cannot be had
    // here: a setting that needs modem input lines on a line without any
    // (ENOTTY, as the line answers), the same character for XON and XOFF
    // (EINVAL). Checked before anything reaches the line.
    int Check(const DeviceControlBlock& Dcb);
    // Takes the part of Dcb that the kernel does not do (DriverToggles: the
    // driver toggles RTS itself, in RS-485 mode), and drives DTR and RTS as
    // it asks. 0 or errno.
    int Configure(const DeviceControlBlock& Dcb, bool DriverToggles);
    // The sizes asked for and the receive queue's capacity: the levels
    // follow the smaller of InputSize and the capacity. An output size of 0,
    // or one read as huge (a negative one), sets no limit.
    void SetQueueSizes(uint32_t InputSize, uint32_t OutputSize, size_t Capacity);

    // ---- the receive queue ----
    // Whether bytes taken in now are kept (false while DSR sensitivity holds
    // them off).
    bool KeepsInput();
    // The queue holds Count bytes now (after bytes entered or left it). True
    // when output may have been released (XON sent): waiting writes should
    // look again.
    bool QueueLevel(size_t Count);

    // ---- the write path ----
    // How many of Wanted bytes may be written now (and counts them as
    // queued). 0 = none: the write waits for an input-line change, for
    // QueueLevel to release it, or for LineEmpty (see WantsLineEmpty).
    size_t TransmitRoom(size_t Wanted);
    // Bytes are about to be written (RTS toggling raises RTS). True when it
    // needs AfterTransmit once they have been.
    bool BeforeTransmit();
    void AfterTransmit() { --FTransmitting; }
    // Whether it needs to hear when the output has drained: RTS is up for
    // toggling, or a write waits for room under the output size.
    bool WantsLineEmpty() const { return (FRtsToggle && FRtsUp) || FWaitingForRoom; }
    // The output has drained: RTS toggling drops RTS unless bytes are still
    // being written or sent. True when a write waiting for room may go on.
    bool LineEmpty();
    // Whether it needs to hear of CTS and DSR changes.
    bool WatchesInputLines() const { return FOutCts || FOutDsr; }

private:
    struct Levels {
        size_t StopAbove = 0;
        size_t ResumeBelow = 1;
    };

    bool ThrottlesInput() const { return FInX || FDtrHandshake || FRtsHandshake; }
    void TakeSettings(const DeviceControlBlock& Dcb, bool DriverToggles);
    void KeepThrottleConsistent();
    int DriveOutputLines(const DeviceControlBlock& Dcb, bool DriverToggles);
    void UpdateLevels();
    void Throttle();
    void Release();
    void SendFlowChar(bool Xoff);
    int DriveRts(bool On);
    bool InputLineOn(uint32_t Bit);
    bool OutputLinesAllow();
    size_t OutputRoom(size_t Wanted);

    int FFd;
    LineSource* FLines;

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
    size_t FOutputLimit = 0; // 0: none
    Levels FLevels;

    bool FThrottled = false;
    bool FXoffSent = false;
    bool FRtsUp = false;
    int FTransmitting = 0;
    size_t FOutputBound = 0; // never less than what the driver's queue holds
    bool FWaitingForRoom = false;
};

} // namespace device
