// The bounded buffer of line records. The lock is held only to append or to
// swap the records out, never while anything else runs, so the line's thread
// waits at most for another such step.
#include <velt/comport/LineLog.h>

#include <atomic>

namespace {

// Threads are numbered in the order they first make a record, so that a log
// shows which records came from one thread without the system's long ids.
uint32_t ThisThreadNumber()
{
    static std::atomic<uint32_t> lastNumber{0};
    thread_local const uint32_t number = ++lastNumber;
    return number;
}

} // namespace

TLineLog::TLineLog(size_t MaxRecords, size_t MaxBytes) : FMaxRecords(MaxRecords), FMaxBytes(MaxBytes) {}

int64_t TLineLog::NowMicros()
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(sinceStart).count();
}

void TLineLog::Add(TLineRecordKind Kind, std::string_view Bytes, std::string_view Detail, uint64_t Count) noexcept
{
    const uint32_t thread = ThisThreadNumber();
    try {
        {
            std::lock_guard lock(FMutex);
            const int64_t now = NowMicros(); // under the lock: records stay in time order
            if (FRecords.size() >= FMaxRecords || FBytes + Bytes.size() > FMaxBytes) {
                if (FDropped++ == 0)
                    FFirstDropMicros = now;
                return;
            }
            if (FDropped != 0) {
                FRecords.push_back({FFirstDropMicros, lrDropped, thread, {}, {}, FDropped});
                FDropped = 0;
            }
            FRecords.push_back({now, Kind, thread, std::string(Bytes), std::string(Detail), Count});
            FBytes += Bytes.size();
        }
        FRecordAdded.notify_one();
    } catch (...) {
        // Out of memory: the record is lost, the line goes on.
    }
}

std::vector<TLineRecord> TLineLog::Take()
{
    std::vector<TLineRecord> taken;
    std::lock_guard lock(FMutex);
    taken.reserve(FRecords.size() + 1);
    for (auto& record : FRecords)
        taken.push_back(std::move(record));
    FRecords.clear();
    FBytes = 0;
    if (FDropped != 0) {
        taken.push_back({FFirstDropMicros, lrDropped, 0, {}, {}, FDropped});
        FDropped = 0;
    }
    return taken;
}

bool TLineLog::WaitForRecords(std::chrono::milliseconds Limit)
{
    std::unique_lock lock(FMutex);
    return FRecordAdded.wait_for(lock, Limit, [this] { return !FRecords.empty() || FDropped != 0; });
}
