#pragma once
/// @file
/// The serial device as the port relies on it: the handful of operations of
/// the first platform's serial API, with their meaning kept (event masks, the
/// device control record, the five timeouts, aborting and status queries).
/// One implementation per platform, and a recording fake for tests.
#include <velt/comport/Export.h>
#include <cstdint>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <velt/comport/device/ManualResetEvent.h>

namespace device {

/// Events a wait can report (the event-mask bits).
///@{
inline constexpr uint32_t kEvRxChar = 0x0001;
inline constexpr uint32_t kEvRxFlag = 0x0002;
inline constexpr uint32_t kEvTxEmpty = 0x0004;
inline constexpr uint32_t kEvCts = 0x0008;
inline constexpr uint32_t kEvDsr = 0x0010;
inline constexpr uint32_t kEvRlsd = 0x0020;
inline constexpr uint32_t kEvBreak = 0x0040;
inline constexpr uint32_t kEvErr = 0x0080;
inline constexpr uint32_t kEvRing = 0x0100;
inline constexpr uint32_t kEvPErr = 0x0200;
inline constexpr uint32_t kEvRx80Full = 0x0400;
///@}

/// Line-error flags reported (and cleared) by ClearError.
///@{
inline constexpr uint32_t kCeRxOver = 0x0001;
inline constexpr uint32_t kCeOverrun = 0x0002;
inline constexpr uint32_t kCeRxParity = 0x0004;
inline constexpr uint32_t kCeFrame = 0x0008;
inline constexpr uint32_t kCeBreak = 0x0010;
inline constexpr uint32_t kCeTxFull = 0x0100;
inline constexpr uint32_t kCeIoe = 0x0400;
inline constexpr uint32_t kCeMode = 0x8000;
///@}

/// Modem input lines reported by ModemStatus.
///@{
inline constexpr uint32_t kMsCtsOn = 0x0010;
inline constexpr uint32_t kMsDsrOn = 0x0020;
inline constexpr uint32_t kMsRingOn = 0x0040;
inline constexpr uint32_t kMsRlsdOn = 0x0080;
///@}

/// Purge flags: abort pending transfers, discard queued bytes.
///@{
inline constexpr uint32_t kPurgeTxAbort = 0x0001;
inline constexpr uint32_t kPurgeRxAbort = 0x0002;
inline constexpr uint32_t kPurgeTxClear = 0x0004;
inline constexpr uint32_t kPurgeRxClear = 0x0008;
///@}

/// Flag bits of DeviceControlBlock::Flags.
///@{
inline constexpr uint32_t kDcbBinary = 0x0001;
inline constexpr uint32_t kDcbParity = 0x0002;
inline constexpr uint32_t kDcbOutxCtsFlow = 0x0004;
inline constexpr uint32_t kDcbOutxDsrFlow = 0x0008;
inline constexpr uint32_t kDcbDtrControlMask = 0x0030;
inline constexpr uint32_t kDcbDtrControlEnable = 0x0010;
inline constexpr uint32_t kDcbDtrControlHandshake = 0x0020;
inline constexpr uint32_t kDcbDsrSensitivity = 0x0040;
inline constexpr uint32_t kDcbTxContinueOnXoff = 0x0080;
inline constexpr uint32_t kDcbOutX = 0x0100;
inline constexpr uint32_t kDcbInX = 0x0200;
inline constexpr uint32_t kDcbErrorChar = 0x0400;
inline constexpr uint32_t kDcbNull = 0x0800;
inline constexpr uint32_t kDcbRtsControlMask = 0x3000;
inline constexpr uint32_t kDcbRtsControlEnable = 0x1000;
inline constexpr uint32_t kDcbRtsControlHandshake = 0x2000;
inline constexpr uint32_t kDcbRtsControlToggle = 0x3000;
inline constexpr uint32_t kDcbAbortOnError = 0x4000;
///@}

/// Parity and stop-bit values of DeviceControlBlock.
///@{
inline constexpr uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3, kSpaceParity = 4;
inline constexpr uint8_t kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2;
///@}

/// The device control record: rate, format, flow control, special characters.
struct VELT_COMPORT_EXPORT DeviceControlBlock {
    uint32_t DCBlength = 28;        ///< The size of the record on the first platform.
    uint32_t BaudRate = 0;          ///< Bits per second.
    uint32_t Flags = 0;             ///< kDcb* flag bits.
    uint16_t XonLim = 0;            ///< Input-queue fill below which XON is sent.
    uint16_t XoffLim = 0;           ///< Free input-queue room below which XOFF is sent.
    uint8_t ByteSize = 8;           ///< Data bits, 5 to 8.
    uint8_t Parity = kNoParity;     ///< kNoParity ... kSpaceParity.
    uint8_t StopBits = kOneStopBit; ///< kOneStopBit, kOne5StopBits or kTwoStopBits.
    uint8_t XonChar = 0;            ///< The XON character.
    uint8_t XoffChar = 0;           ///< The XOFF character.
    uint8_t ErrorChar = 0;          ///< Put in place of a byte received with a parity error.
    uint8_t EofChar = 0;            ///< End-of-input character (unused).
    uint8_t EvtChar = 0;            ///< Its arrival raises kEvRxFlag.
    bool operator==(const DeviceControlBlock&) const = default; ///< Field by field.
};

/// The five timeouts in milliseconds; 0xFFFFFFFF is kMaxDword.
struct VELT_COMPORT_EXPORT CommTimeouts {
    uint32_t ReadIntervalTimeout = 0;                     ///< Longest gap between two received bytes.
    uint32_t ReadTotalTimeoutMultiplier = 0;              ///< Per byte asked for, added to the read limit.
    uint32_t ReadTotalTimeoutConstant = 0;                ///< Added once to the read limit.
    uint32_t WriteTotalTimeoutMultiplier = 0;             ///< Per byte written, added to the write limit.
    uint32_t WriteTotalTimeoutConstant = 0;               ///< Added once to the write limit.
    bool operator==(const CommTimeouts&) const = default; ///< Field by field.
};
/// The timeout value that means "none" or "at once" depending on the field.
inline constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

/// Result of StartRead/StartWrite when the transfer goes on in the background.
inline constexpr int kIoPending = -1;

/// The error number of any operation on a device that is not open.
VELT_COMPORT_EXPORT int InvalidHandleError();
/// The platform's error number for an argument a call cannot take.
VELT_COMPORT_EXPORT int InvalidArgumentError();
/// The error number a transfer ends with when it was aborted.
VELT_COMPORT_EXPORT int AbortedTransferError();
/// True when an error number means that the user may not use the device.
VELT_COMPORT_EXPORT bool IsAccessDeniedError(int SystemErrorCode);
/// True when an open's error number means that no such device is there.
VELT_COMPORT_EXPORT bool IsNoSuchDeviceError(int SystemErrorCode);
/// True when an open's error number means that another opener holds the device.
VELT_COMPORT_EXPORT bool IsDeviceBusyError(int SystemErrorCode);

/// A device's own state of the transfer started on an IoBlock. A pending
/// transfer goes on by itself; these ask about its end from any thread. As
/// they stand they describe a transfer that ended in its first step, which is
/// all a device that never leaves one pending needs.
class VELT_COMPORT_EXPORT TransferState {
public:
    virtual ~TransferState();
    /// Whether the transfer has ended (its outcome waits for AwaitTransfer);
    /// never blocks.
    virtual bool Ended() const { return true; }
    /// The waitable object that becomes signalled when the transfer ends and
    /// stays so, for waiting on it together with other things. Throws
    /// std::system_error or std::runtime_error when the platform has no
    /// object to give.
    virtual WaitHandle EndWaitable();

private:
    std::unique_ptr<ManualResetEvent> FEndedAlready; // made when first asked for
};

/// Stands in for the platform's overlapped block: one per transfer record.
/// Empty until a transfer is started on it; a block on which nothing was ever
/// started reads as a transfer that ended with 0 bytes.
struct VELT_COMPORT_EXPORT IoBlock {
    std::unique_ptr<TransferState> State; ///< The device's state of the transfer; null before the first.
    /// Set by a starter that awaits each transfer on the block right after
    /// starting it (the port's synchronous reads and writes): the device may
    /// then leave moving it on to that await, which costs no helper. A block
    /// with this set must be awaited at once.
    bool AwaitFollows = false;
};

/// How a wait for line events ended.
enum class WaitOutcome {
    Events, ///< Events occurred (possibly none, after a mask change).
    Quit,   ///< The quit event was set.
    Failed  ///< The wait failed; the error number says why.
};

/// The serial device the port drives: an open device of the platform, or a
/// subclass of a program's own (installed by an override of
/// TCustomComPort::OpenDevice()). Safe to use from several threads.
class VELT_COMPORT_EXPORT SerialDevice {
public:
    virtual ~SerialDevice() = default;

    /// Recommends the sizes of the input and output queues; 0 on success or
    /// the platform error number (as every operation below).
    [[nodiscard]] virtual int SetupQueues(uint32_t InputSize, uint32_t OutputSize) = 0;
    /// Writes rate, format, flow control and special characters; refuses
    /// (EINVAL or the platform's number) what the device does not take.
    [[nodiscard]] virtual int SetState(const DeviceControlBlock& Dcb) = 0;
    /// Wanted: asks the driver to pass received bytes on at once (an
    /// adapter's latency timer at its least); refuses (EINVAL or the
    /// platform's number) where the driver does not take it. Not wanted: puts
    /// back the state the device had before. The device puts that state back
    /// when it is closed, too. A device without the request refuses it.
    [[nodiscard]] virtual int SetLowLatency(bool Wanted) { return Wanted ? InvalidArgumentError() : 0; }
    /// Sets the five timeouts that later reads and writes follow.
    [[nodiscard]] virtual int SetTimeouts(const CommTimeouts& Timeouts) = 0;

    /// Selects the events that WaitEvents reports; 0 reports none.
    [[nodiscard]] virtual int SetEventMask(uint32_t Mask) = 0;
    /// Blocks, without a time limit, until an event of the mask occurs
    /// (Events, with Occurred holding their bits) or Quit is set (Quit; it
    /// wins when both hold). Failed carries Error. Safe to call from another
    /// thread than the transfers and queries.
    [[nodiscard]] virtual WaitOutcome WaitEvents(const ManualResetEvent& Quit, uint32_t& Occurred, int& Error) = 0;
    /// The one object a main loop waits on instead of WaitEvents: signalled
    /// while the device may have events to report. When it is, the loop calls
    /// CheckEvents. A device that offers none (false) leaves the waiting to an
    /// event thread.
    virtual bool EventWaitable(WaitHandle& /*Handle*/) { return false; }
    /// Never blocks: takes in what the line has and reports the events of the
    /// mask that occurred since the last report (Events, Occurred possibly 0),
    /// or Failed with Error.
    [[nodiscard]] virtual WaitOutcome CheckEvents(uint32_t& Occurred, int& Error)
    {
        Occurred = 0;
        Error = 0;
        return WaitOutcome::Events;
    }
    /// The events of the last wait or check have been delivered. Until then the
    /// status queries count on the input that wait took in and do not ask the
    /// line again, so one event costs one look at the line.
    virtual void EventsDelivered() {}
    /// Whether a completed write should raise kEvTxEmpty: watching for it costs
    /// a helper on some platforms, so the port asks only while someone listens.
    virtual void SetTxEmptyWanted(bool /*Wanted*/) {}

    /// Start a transfer on Block: 0 when it ended at once (Done holds the
    /// count), kIoPending when it goes on, otherwise the error number.
    [[nodiscard]] virtual int StartRead(IoBlock& Block, char* Buffer, uint32_t Count, uint32_t& Done) = 0;
    /// @copydoc StartRead
    [[nodiscard]] virtual int StartWrite(IoBlock& Block, const char* Buffer, uint32_t Count, uint32_t& Done) = 0;
    /// Waits until the transfer on Block has ended, bounded by the timeouts;
    /// 0 with Done, or the error number it ended with. A pending transfer
    /// does not need this to go on: reads are served and writes go out in the
    /// order they began, each direction on its own.
    [[nodiscard]] virtual int AwaitTransfer(IoBlock& Block, uint32_t& Done) = 0;

    /// PURGE_*ABORT end pending transfers of every thread at once (they fail
    /// with AbortedTransferError()); PURGE_*CLEAR discard queued bytes.
    [[nodiscard]] virtual int Purge(uint32_t Flags) = 0;
    /// Reports and clears the line-error flags, and the input-queue count.
    [[nodiscard]] virtual int ClearError(uint32_t& Errors, uint32_t& InQueue) = 0;
    /// The modem input lines (MS_* bits); all off where a line has none.
    [[nodiscard]] virtual int ModemStatus(uint32_t& Status) = 0;
};

/// Opens the named port for exclusive use (a second opener, in this process or
/// another, fails). Returns the device, or null with Error set.
[[nodiscard]] VELT_COMPORT_EXPORT std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& Port, int& Error);

/// The names of the serial devices present (acceptable as a port name), in no
/// particular order. Returns 0 or the error number when the list cannot be read.
[[nodiscard]] VELT_COMPORT_EXPORT int ListSerialDevices(std::vector<std::string>& Names);

/// The name under which ListSerialDevices lists the device that the port name
/// Port stands for, or empty when it names none.
VELT_COMPORT_EXPORT std::string ListedNameOf(const std::string& Port);

} // namespace device
