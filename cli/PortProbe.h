#pragma once
// One port of "velt-cli find" asked for the last measurement: opened first
// (a port another program holds is refused by the exclusive open and left
// alone), and only then written to, within a time limit of its own.
#include <chrono>
#include <string>

class TMeterPort;

struct ProbeResult {
    enum class Kind { Answered, Busy, OpenFailed, NoAnswer, LineFailed, TimedOut };
    Kind Outcome = Kind::NoAnswer;
    std::string Text; // the answer's bytes, or why the port failed
};

// Asks the port Port names, at its settings, and closes it again. Limit
// bounds the whole exchange, also against a line that never falls silent.
ProbeResult ProbePort(TMeterPort& Port, std::chrono::milliseconds Limit);
