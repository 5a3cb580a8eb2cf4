#pragma once
// The program's commands, one button each in both windows. A read command
// carries its request; the windows find their buttons by Name and draw their
// enabled state from the program's state, so a new read command is a row
// here and a button in each window's layout.
#include <cstdint>
#include <string>
#include <vector>

enum class ProgramCommand {
    Settings,
    MeasurementFromMemory,
    LastMeasurement,
    AllMeasurements,
    ClearPane,
    CopyPane,
    SavePane,
    SetClock,
};

struct CommandButton {
    ProgramCommand Command;
    const char* Name;    // the button's name in both windows
    const char* Caption; // UTF-8
    // The request a read command writes, given the measurement number; null
    // for the other commands.
    std::string (*Request)(uint8_t Number);
};

// Every command button, in the order in which they are enabled and disabled.
const std::vector<CommandButton>& CommandButtons();
// The row of Command.
const CommandButton& ButtonOf(ProgramCommand Command);
