#include "MeterOptions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void PrintUsage()
{
    std::fprintf(stderr,
                 "usage: metersim [--silent] [--delay MS] [--wrong N] [--split MS] [--bursts N]\n"
                 "                [--nul] [--link PATH] [--watch-stdin]\n"
                 "Plays the meter on a pseudo-terminal and prints its path on the first line.\n");
}

bool ReadCount(const char* Text, int& Value)
{
    char* end = nullptr;
    const long number = std::strtol(Text, &end, 10);
    if (end == Text || *end != '\0' || number < 0 || number > 3600000)
        return false;
    Value = static_cast<int>(number);
    return true;
}

} // namespace

std::optional<MeterOptions> ParseMeterOptions(int Argc, char** Argv)
{
    MeterOptions options;
    for (int i = 1; i < Argc; ++i) {
        const char* name = Argv[i];
        const char* value = i + 1 < Argc ? Argv[i + 1] : nullptr;
        bool ok = true;
        if (std::strcmp(name, "--silent") == 0) {
            options.Silent = true;
        } else if (std::strcmp(name, "--nul") == 0) {
            options.InsertNul = true;
        } else if (std::strcmp(name, "--watch-stdin") == 0) {
            options.WatchStdin = true;
        } else if (value == nullptr) {
            ok = false;
        } else {
            ++i;
            if (std::strcmp(name, "--delay") == 0)
                ok = ReadCount(value, options.DelayMs);
            else if (std::strcmp(name, "--wrong") == 0)
                ok = ReadCount(value, options.WrongClockByte);
            else if (std::strcmp(name, "--split") == 0)
                ok = ReadCount(value, options.SplitMs);
            else if (std::strcmp(name, "--bursts") == 0)
                ok = ReadCount(value, options.Bursts) && options.Bursts >= 1;
            else if (std::strcmp(name, "--link") == 0)
                options.LinkPath = value;
            else
                ok = false;
        }
        if (!ok) {
            PrintUsage();
            return std::nullopt;
        }
    }
    return options;
}
