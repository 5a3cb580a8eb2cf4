#pragma once
/// @file
/// One record of what happened on a port's line: bytes written or read, a
/// line event or error, opening and closing, a hang-up, a transfer that was
/// cancelled. A port with a line log (TCustomComPort::SetLineLog) makes them.
#include <cstdint>
#include <string>

/// What a line record tells.
enum TLineRecordKind : uint8_t {
    lrOpen,       ///< The port opened; Detail: its name and the settings the device took.
    lrSettings,   ///< An open port took new settings; Detail as for lrOpen, without the name.
    lrOpenFailed, ///< The port could not be opened; Detail: the name and the reason.
    lrClose,      ///< The device was closed.
    lrWritten,    ///< Bytes handed to the line (Bytes).
    lrRead,       ///< Bytes the program read from the line (Bytes).
    lrEvents,     ///< Line events delivered; Detail: their names.
    lrLineError,  ///< Line errors reported; Detail: their names.
    lrHangUp,     ///< The device went away (an adapter pulled out, the far end closed).
    lrCancelled,  ///< A transfer was cancelled; Detail: "read" or "write", Count: bytes it had moved.
    lrFailed,     ///< A transfer failed; Detail: "read" or "write", Count: the system's error number.
    lrDropped     ///< The log was full: Count records were dropped here.
};

/// One thing that happened on the line.
struct TLineRecord {
    int64_t Micros = 0;            ///< When, in microseconds of the monotonic clock.
    TLineRecordKind Kind = lrOpen; ///< What happened.
    uint32_t Thread = 0;           ///< Which thread did it: 1, 2, ... in the order threads first made a record.
    std::string Bytes;             ///< The bytes written or read.
    std::string Detail;            ///< Words that say more (see TLineRecordKind).
    uint64_t Count = 0;            ///< A number that says more (see TLineRecordKind).
};
