#pragma once
/// @file
/// Transfer records: one per read or write, carrying the device's block for
/// it, its direction and, for a write, a copy of the bytes for the links.
#include <velt/comport/Export.h>
#include <cstdint>
#include <memory>
#include <optional>

#include <velt/comport/device/SerialDevice.h>

enum TTransferDirection : uint8_t { tdWrite, tdRead };

struct VELT_COMPORT_EXPORT TComTransfer {
    device::IoBlock IoBlock;
    std::optional<TTransferDirection> Direction;
    std::unique_ptr<char[]> WrittenCopy;
    int32_t WrittenSize = 0;
};
using PComTransfer = TComTransfer*;

/// Makes a fresh record: awaiting it before anything is started yields 0.
VELT_COMPORT_EXPORT void NewTransfer(PComTransfer& Transfer);
/// Releases the record and sets the reference to null. It does not wait:
/// callers await (or abort and await) a pending transfer first.
VELT_COMPORT_EXPORT void FreeTransfer(PComTransfer& Transfer);
