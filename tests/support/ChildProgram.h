#pragma once
// A program started by a test with its output streams on pipes, and what it
// left when it ended.
#include <sys/types.h>

#include <string>
#include <vector>

struct Finished {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

// A program started with both output streams on pipes (or standard error
// on a terminal).
struct Started {
    pid_t Pid = -1;
    int Out = -1;
    int Err = -1;
};

Started StartProgram(const std::string& Program, const std::vector<std::string>& Arguments, int Terminal = -1);
// Collects both output streams until the program ends (killed after 30 s,
// which fails the test).
Finished Collect(const Started& Program);
Finished RunProgram(const std::string& Program, const std::vector<std::string>& Arguments, int Terminal = -1);
