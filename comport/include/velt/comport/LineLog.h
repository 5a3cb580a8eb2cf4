#pragma once
/// @file
/// The line log a port writes into: a bounded buffer that any thread adds
/// records to without waiting on the reader, and that a reader takes them from.
#include <velt/comport/Export.h>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string_view>
#include <vector>

#include <velt/comport/LineRecord.h>

/// A bounded buffer of line records. Records are added on whichever thread
/// does the I/O (the record names it); adding never waits for the reader and
/// never fails the line: when the buffer is full the record is dropped and
/// counted, and the reader later finds an lrDropped record with that count
/// where they went missing. Attach one log to one port or to several.
class VELT_COMPORT_EXPORT TLineLog {
public:
    /// A log holding at most MaxRecords records and MaxBytes bytes of them
    /// until they are taken.
    explicit TLineLog(size_t MaxRecords = 4096, size_t MaxBytes = 1024 * 1024);

    /// Adds a record stamped with the monotonic time and the calling thread.
    void Add(TLineRecordKind Kind, std::string_view Bytes = {}, std::string_view Detail = {},
             uint64_t Count = 0) noexcept;
    /// Takes every record waiting, oldest first.
    std::vector<TLineRecord> Take();
    /// Waits until a record waits or Limit has passed; true when one waits.
    bool WaitForRecords(std::chrono::milliseconds Limit);

    /// Now on the clock that stamps the records, in microseconds.
    static int64_t NowMicros();

private:
    size_t FMaxRecords;
    size_t FMaxBytes;
    std::mutex FMutex;
    std::condition_variable FRecordAdded;
    std::deque<TLineRecord> FRecords;
    size_t FBytes = 0;
    uint64_t FDropped = 0; // since the last record that was kept
    int64_t FFirstDropMicros = 0;
};
