#pragma once
// The simulated meter's command line.
#include <optional>
#include <string>

struct MeterOptions {
    bool Silent = false;     // --silent: read everything, answer nothing
    int DelayMs = 0;         // --delay MS: wait before each answer
    int WrongClockByte = 0;  // --wrong N: answer the Nth clock byte wrongly
    int SplitMs = 0;         // --split MS: send text answers in bursts with pauses of MS
    int Bursts = 3;          // --bursts N: how many bursts --split makes
    bool InsertNul = false;  // --nul: a NUL byte after the first ':' of every text answer
    std::string LinkPath;    // --link PATH: a symlink to the pseudo-terminal
    bool WatchStdin = false; // --watch-stdin: end when standard input closes
};

// Returns nothing (after printing the usage) when the command line is wrong.
std::optional<MeterOptions> ParseMeterOptions(int Argc, char** Argv);
