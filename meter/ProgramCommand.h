#pragma once
// The program's commands, named once: one button each in both windows (its
// name, caption and the Windows window's control id), the request a read
// command writes, and velt-cli's word for those it runs. The windows find
// their buttons here and draw their enabled state from the program's state;
// velt-cli takes its command words from here, so a new read command is a row
// here and a button in each window's layout.
#include <array>
#include <cstdint>
#include <string>

#include "MeterRequests.h"

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
    bool TakesNumber; // the request is the measurement number (velt-cli: "get N")
    const char* Verb; // velt-cli's word for the command; null: the windows' alone
    int ControlId;    // the button's control id in the Windows window
};

// Every command button, in the order in which they are enabled and disabled.
inline constexpr std::array<CommandButton, 8> kCommandButtons = {{
    {ProgramCommand::Settings, "bUstawienia", "Ustawienia", nullptr, false, nullptr, 101},
    {ProgramCommand::MeasurementFromMemory, "bPomZPam", "Pomiar z pamięci",
     [](uint8_t Number) { return MeasurementRequest(Number); }, true, "get", 105},
    {ProgramCommand::LastMeasurement, "bOstatniPom", "Ostatni pomiar", [](uint8_t) { return LastMeasurementRequest(); },
     false, "last", 106},
    {ProgramCommand::AllMeasurements, "bWszystPom", "Wszystkie pomiary",
     [](uint8_t) { return AllMeasurementsRequest(); }, false, "all", 107},
    {ProgramCommand::ClearPane, "bCzyscEkran", "Czyść ekran", nullptr, false, nullptr, 108},
    {ProgramCommand::CopyPane, "bKopiujDoSchowka", "Kopiuj do schowka", nullptr, false, nullptr, 109},
    {ProgramCommand::SavePane, "bZapiszDoPliku", "Zapisz do pliku", nullptr, false, nullptr, 110},
    {ProgramCommand::SetClock, "bUstawZegar", "Ustaw datę i czas", nullptr, false, "set-clock", 111},
}};

constexpr const std::array<CommandButton, 8>& CommandButtons() { return kCommandButtons; }

// The row of Command.
constexpr const CommandButton& ButtonOf(ProgramCommand Command)
{
    for (const CommandButton& button : kCommandButtons)
        if (button.Command == Command)
            return button;
    return kCommandButtons.front(); // every command has its row
}
