#pragma once
// "velt-cli monitor": listens to the line without sending anything and
// prints every record of its line log until Ctrl+C, --for SECONDS or a
// hang-up.
struct CliOptions;

// The exit code: 0 when Ctrl+C or the time given ended it, 2 when the port
// could not be opened, the line hung up, or the log could not be written.
int MonitorPort(const CliOptions& Options);
