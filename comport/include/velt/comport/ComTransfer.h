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
};
using PComTransfer = TComTransfer*; ///< A reference to a transfer record.

/// Makes a fresh record: awaiting it before anything is started yields 0.
VELT_COMPORT_EXPORT void NewTransfer(PComTransfer& Transfer);
/// Releases the record and sets the reference to null. It does not wait:
/// callers await (or abort and await) a pending transfer first.
VELT_COMPORT_EXPORT void FreeTransfer(PComTransfer& Transfer);
