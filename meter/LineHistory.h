#pragma once
// The recent line log the windows keep from the start: the port records into
// a log of the component, and the history takes the records over, keeping
// only the newest up to a bound on their size, so a long session never
// grows without end.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <velt/comport/LineLog.h>

class LineHistory {
public:
    // Keeps about MaxBytes of records (their bytes and words).
    explicit LineHistory(size_t MaxBytes = 256 * 1024);

    // The log to give the port.
    const std::shared_ptr<TLineLog>& Log() const { return FLog; }
    // Takes over what the port recorded since the last call; returns the
    // number of every record taken so far, which Since() counts from.
    uint64_t TakeIn();
    // The records from number Mark on that are still kept.
    std::vector<TLineRecord> Since(uint64_t Mark) const;
    // Everything kept, as the component's text form (UTF-8).
    std::string Text() const;

private:
    std::shared_ptr<TLineLog> FLog = std::make_shared<TLineLog>();
    size_t FMaxBytes;
    std::deque<TLineRecord> FRecords;
    size_t FBytes = 0;
    uint64_t FTaken = 0; // number of the record after the last one taken
};
