#include "LineSummary.h"

#include <array>
#include <string_view>
#include <utility>

namespace {

// The line errors in the words of the log, as the program names them.
constexpr std::array<std::pair<std::string_view, const char*>, 7> kErrorNames = {{
    {"frame", "błąd ramki"},
    {"parity", "błąd parzystości"},
    {"overrun", "przepełnienie odbiornika"},
    {"break", "przerwa na linii"},
    {"mode", "tryb niedostępny"},
    {"rx-queue-overflow", "przepełnienie kolejki odbiorczej"},
    {"tx-queue-full", "przepełnienie kolejki nadawczej"},
}};

std::string ErrorNames(const std::string& Words)
{
    std::string names;
    for (const auto& [word, name] : kErrorNames) {
        if (Words.find(word) == std::string::npos)
            continue;
        names += names.empty() ? "" : ", ";
        names += name;
    }
    return names.empty() ? Words : names;
}

// "1 bajt", "3 bajty", "12 bajtów".
std::string Bytes(uint64_t Count)
{
    const uint64_t tens = Count % 100;
    const uint64_t ones = Count % 10;
    const char* word = Count == 1 ? "bajt" : (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14)) ? "bajty" : "bajtów";
    return std::to_string(Count) + " " + word;
}

// "Nadszedł 1 bajt", "Nadeszły 3 bajty", "Nadeszło 12 bajtów".
std::string Arrived(uint64_t Count)
{
    const uint64_t tens = Count % 100;
    const uint64_t ones = Count % 10;
    const char* verb = Count == 1                                             ? "Nadszedł "
                       : (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14)) ? "Nadeszły "
                                                                              : "Nadeszło ";
    return verb + Bytes(Count);
}

} // namespace

// The last request decides: what came after it, or how long nothing did.
std::string FailedExchangeSentence(const std::vector<TLineRecord>& Records, int WaitedMs)
{
    const TLineRecord* lastWrite = nullptr;
    uint64_t arrived = 0;
    for (const TLineRecord& record : Records) {
        switch (record.Kind) {
        case lrHangUp:
            return {};
        case lrLineError:
            return "Linia zgłosiła błąd: " + ErrorNames(record.Detail);
        case lrFailed:
            if (record.Detail == "write")
                return "Nie udało się wysłać zapytania (błąd systemu " + std::to_string(record.Count) + ")";
            break;
        case lrWritten:
            lastWrite = &record;
            arrived = 0;
            break;
        case lrRead:
            arrived += record.Bytes.size();
            break;
        default:
            break;
        }
    }
    if (lastWrite == nullptr)
        return arrived > 0 ? Arrived(arrived) + ", potem cisza" : std::string();
    if (arrived > 0)
        return Arrived(arrived) + ", potem cisza";
    const std::string waited =
        WaitedMs % 1000 == 0 ? std::to_string(WaitedMs / 1000) + " s" : std::to_string(WaitedMs) + " ms";
    return "Wysłano " + Bytes(lastWrite->Bytes.size()) + ", nie nadeszła odpowiedź w ciągu " + waited;
}
