#include "LineHistory.h"

#include <velt/comport/LineLogText.h>

namespace {

// What a record costs the history: its bytes, its words and the fields.
size_t SizeOf(const TLineRecord& Record) { return Record.Bytes.size() + Record.Detail.size() + sizeof(TLineRecord); }

} // namespace

LineHistory::LineHistory(size_t MaxBytes) : FMaxBytes(MaxBytes) {}

uint64_t LineHistory::TakeIn()
{
    for (TLineRecord& record : FLog->Take()) {
        FBytes += SizeOf(record);
        FRecords.push_back(std::move(record));
        ++FTaken;
    }
    while (FBytes > FMaxBytes && !FRecords.empty()) {
        FBytes -= SizeOf(FRecords.front());
        FRecords.pop_front();
    }
    return FTaken;
}

std::vector<TLineRecord> LineHistory::Since(uint64_t Mark) const
{
    const uint64_t first = FTaken - FRecords.size();
    const uint64_t from = Mark > first ? Mark - first : 0;
    if (from >= FRecords.size())
        return {};
    return {FRecords.begin() + static_cast<std::ptrdiff_t>(from), FRecords.end()};
}

std::string LineHistory::Text() const
{
    TLineLogText text;
    std::string lines;
    for (const TLineRecord& record : FRecords)
        lines += text.Line(record);
    return lines;
}
