#pragma once
// "velt-cli find": where a meter answers. Each port is asked in turn for the
// last measurement, at the stored line settings with the options over them;
// progress goes to standard error, each port that answered to standard output.
struct CliOptions;

// The exit code: 0 when a meter answered on some port, 1 when none did
// (or no port is there), 2 when the port list cannot be read or the output
// cannot be written.
int FindMeter(const CliOptions& Options);
