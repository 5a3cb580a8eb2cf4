#pragma once
// The program's own texts (UTF-8), shown by the window and the command-line tool alike.
#include <cstddef>
#include <string>

namespace meter_text {

// The caption of plain message boxes and error reports.
constexpr const char* kApplicationTitle = "Velt";
constexpr const char* kErrorCaption = "Błąd";
constexpr const char* kOpenFailed = "Wystąpił błąd podczas otwierania portu!";
// Added to the open failure when the account may not use the device.
constexpr const char* kAccessAdvice =
    "Brak uprawnień do portu: dodaj swoje konto do grupy dialout (sudo adduser $USER dialout), "
    "wyloguj się i zaloguj ponownie.";
constexpr const char* kMeterError = "Wystąpił błąd komunikacji z miernikiem!";
constexpr const char* kMeterErrorLine = "Błąd komunikacji z miernikiem!";
constexpr const char* kClockSet = "Zegar miernika ustawiony poprawnie!";
constexpr const char* kClockFailed = "Błąd ustawiania zegara miernika!";
constexpr const char* kChoosePort = "Wybierz port komunikacyjny";
// The adapter was pulled out; the next command opens its port again.
constexpr const char* kAdapterGone = "Adapter miernika został odłączony.";
// The adapter came back under another name: "<kPortFollowed> <new> (<was> <old>)".
constexpr const char* kPortFollowed = "Adapter miernika jest teraz na porcie";
constexpr const char* kPortWas = "wcześniej";
// Two present ports could be the meter's adapter.
constexpr const char* kPortAmbiguous = "Nie można rozpoznać, który port jest adapterem miernika.";
// The stored adapter is not there: nothing is opened in its place.
constexpr const char* kAdapterMissing = "Nie znaleziono adaptera miernika";
constexpr const char* kNothingSent = "Nic nie zostało wysłane.";
constexpr const char* kTransfer = "Transmisja danych";

// The window's status line about the meter's adapter.
inline std::string AdapterGoneStatus(const std::string& Port)
{
    return "Adapter miernika na porcie " + Port + " został odłączony. Następne polecenie połączy się z nim ponownie.";
}

inline std::string PortFollowedStatus(const std::string& From, const std::string& To)
{
    return std::string(kPortFollowed) + " " + To + " (" + kPortWas + " " + From + ").";
}

// "Nie znaleziono adaptera miernika (<adapter>, zapisany port <name>). Port <name> to teraz
// inne urządzenie: <what>. Nic nie zostało wysłane."
inline std::string AdapterMissingText(const std::string& Port, const std::string& Wanted, const std::string& NowThere)
{
    std::string text = std::string(kAdapterMissing) + " (" + Wanted + ", zapisany port " + Port + "). ";
    text += NowThere.empty() ? "Portu " + Port + " nie ma teraz na liście portów. "
                             : "Port " + Port + " to teraz inne urządzenie: " + NowThere + ". ";
    return text + kNothingSent;
}

inline std::string AdapterMissingStatus(const std::string& Port, const std::string& Wanted, const std::string& NowThere)
{
    return AdapterMissingText(Port, Wanted, NowThere) + " " + kChoosePort + ".";
}

inline std::string PortAmbiguousStatus() { return std::string(kPortAmbiguous) + " " + kChoosePort + "."; }

// The last error box after a burst: how many reports were left out.
inline std::string DroppedReports(std::size_t Count)
{
    return "Pominięto dalsze komunikaty o błędach: " + std::to_string(Count) + ".";
}

} // namespace meter_text
