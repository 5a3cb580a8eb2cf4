#pragma once
// A pseudo-terminal for tests: the port under test opens SlavePath(), the
// test holds the master end and plays the other side of the line.
#include <chrono>
#include <functional>
#include <string>

class PseudoTerminal {
public:
    // Opens a pair with both ends raw (openpty starts canonical with echo)
    // and the master non-blocking. Throws std::runtime_error on failure.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The path the port opens (/dev/pts/N).
    const std::string& SlavePath() const { return FSlavePath; }
    int MasterFd() const { return FMaster; }
    // The helper keeps one slave descriptor open so that the master never
    // reads EIO while the port is closed; tests read line settings through it.
    int SlaveFd() const { return FSlave; }

    // Sends bytes to the port (all of them; throws when the line refuses).
    void WriteToPort(const std::string& Bytes);
    // Collects what the port sent until N bytes arrived or the deadline ran out.
    std::string ReadFromPort(size_t N, std::chrono::milliseconds Deadline);
    // Closes the master end: the line hangs up, as when a USB adapter is pulled.
    void CloseMaster();

private:
    int FMaster = -1;
    int FSlave = -1;
    std::string FSlavePath;
};

// Polls Condition until it holds (true) or the deadline passes (false).
bool WaitUntil(const std::function<bool()>& Condition, std::chrono::milliseconds Deadline);
