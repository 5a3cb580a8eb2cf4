#pragma once
// What a window draws of the program besides its pane: the command buttons'
// enabled state, the transfer label and progress bar, and a status line.
#include <string>

constexpr int kProgressMaximum = 400;

struct ProgramState {
    bool CommandsEnabled = true;
    bool TransferShown = false; // the label "Transmisja danych" and the bar
    int Progress = 0;           // the bar's position, 0 to kProgressMaximum
    // A line about the meter's adapter for the window to show (UTF-8):
    // gone, found under another name, or not told apart; empty: none.
    std::string Status;

    bool operator==(const ProgramState&) const = default;
};

// The bar's position after a step of Amount: it starts again from 0 when the
// step would pass the end, so it never shows more than kProgressMaximum.
constexpr int SteppedProgress(int Position, int Amount)
{
    return (Position + Amount > kProgressMaximum ? 0 : Position) + Amount;
}
