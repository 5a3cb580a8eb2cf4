#pragma once
// What the line log shows of a command that ended in "Błąd komunikacji z
// miernikiem!", in one sentence for the window's status line, so that a
// technician sees it without opening the log.
#include <cstdint>
#include <string>
#include <vector>

#include <velt/comport/LineRecord.h>

// Records: those of the command; WaitedMs: how long the program waits for an
// answer before it gives up. Empty when the records say nothing a sentence
// could add (a hang-up has its own status line).
std::string FailedExchangeSentence(const std::vector<TLineRecord>& Records, int WaitedMs);
