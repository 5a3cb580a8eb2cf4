#pragma once
// The members of a readiness set that the system does not keep for us
// (poll() over descriptors, Windows' wait over handles): the system's wait
// entries in one array, as its wait call takes them, each beside the key a
// wait reports for it.
#include <algorithm>
#include <cstdint>
#include <vector>

template <typename Entry>
class ReadinessMembers {
public:
    size_t Count() const { return FEntries.size(); }
    Entry* Entries() { return FEntries.data(); }

    void Add(const Entry& Member, uint64_t Key)
    {
        FEntries.push_back(Member);
        FKeys.push_back(Key);
    }
    // Removes the member that IsIt picks; when none is, nothing.
    template <typename Pick>
    void Remove(Pick IsIt)
    {
        const auto it = std::find_if(FEntries.begin(), FEntries.end(), IsIt);
        if (it == FEntries.end())
            return;
        FKeys.erase(FKeys.begin() + (it - FEntries.begin()));
        FEntries.erase(it);
    }
    // Ready gets, in order, the keys of the members that IsReady(index,
    // entry) finds signalled.
    template <typename Pick>
    void CollectReady(Pick IsReady, std::vector<uint64_t>& Ready) const
    {
        for (size_t i = 0; i < FEntries.size(); ++i)
            if (IsReady(i, FEntries[i]))
                Ready.push_back(FKeys[i]);
    }

private:
    std::vector<Entry> FEntries;
    std::vector<uint64_t> FKeys;
};
