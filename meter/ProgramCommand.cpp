#include "ProgramCommand.h"

#include <algorithm>

#include "MeterRequests.h"

const std::vector<CommandButton>& CommandButtons()
{
    static const std::vector<CommandButton> buttons = {
        {ProgramCommand::Settings, "bUstawienia", "Ustawienia", nullptr},
        {ProgramCommand::MeasurementFromMemory, "bPomZPam", "Pomiar z pamięci",
         [](uint8_t Number) { return MeasurementRequest(Number); }},
        {ProgramCommand::LastMeasurement, "bOstatniPom", "Ostatni pomiar",
         [](uint8_t) { return LastMeasurementRequest(); }},
        {ProgramCommand::AllMeasurements, "bWszystPom", "Wszystkie pomiary",
         [](uint8_t) { return AllMeasurementsRequest(); }},
        {ProgramCommand::ClearPane, "bCzyscEkran", "Czyść ekran", nullptr},
        {ProgramCommand::CopyPane, "bKopiujDoSchowka", "Kopiuj do schowka", nullptr},
        {ProgramCommand::SavePane, "bZapiszDoPliku", "Zapisz do pliku", nullptr},
        {ProgramCommand::SetClock, "bUstawZegar", "Ustaw datę i czas", nullptr},
    };
    return buttons;
}

const CommandButton& ButtonOf(ProgramCommand Command)
{
    const auto& buttons = CommandButtons();
    return *std::find_if(buttons.begin(), buttons.end(),
                         [Command](const CommandButton& Button) { return Button.Command == Command; });
}
