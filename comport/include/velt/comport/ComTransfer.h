#pragma once
/// @file
/// Transfer records: one per read or write, carrying the device's block for
/// it, its direction and, for a write, a copy of the bytes for the links.
#include <velt/comport/Export.h>
#include <cstdint>
#include <memory>
#include <optional>

#include <velt/comport/device/SerialDevice.h>

/// Which way a transfer moves bytes.
enum TTransferDirection : uint8_t { tdWrite, tdRead };

/// The record of one read or write started with TCustomComPort::BeginRead()
/// or BeginWrite(); made by NewTransfer(), released by FreeTransfer().
struct VELT_COMPORT_EXPORT TComTransfer {
    device::IoBlock IoBlock;                     ///< The device's state of the transfer.
    std::optional<TTransferDirection> Direction; ///< Set when a transfer was started on the record.
    std::unique_ptr<char[]> WrittenCopy;         ///< For a write: a copy of the bytes, for the links.
    int32_t WrittenSize = 0;                     ///< The size of WrittenCopy.

    /// Whether the transfer has ended, so that TCustomComPort::AwaitTransfer()
    /// returns at once; true when none was started. Never blocks; a pending
    /// transfer goes on without being awaited.
    bool Ended() const;
    /// The waitable object (a descriptor on Linux, an event handle on Windows)
    /// that becomes signalled when the transfer ends and stays so until the
    /// next is started on the record: for waiting on it together with other
    /// things. Throws EComPort (peTransferStatus) when the system has none to give.
    device::WaitHandle EndWaitable();
};
using PComTransfer = TComTransfer*; ///< A reference to a transfer record.

/// Makes a fresh record: awaiting it before anything is started yields 0.
VELT_COMPORT_EXPORT void NewTransfer(PComTransfer& Transfer);
/// Releases the record and sets the reference to null. It does not wait:
/// callers await (or abort and await) a pending transfer first.
VELT_COMPORT_EXPORT void FreeTransfer(PComTransfer& Transfer);
