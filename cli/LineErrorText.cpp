#include "LineErrorText.h"

#include <array>

namespace {

constexpr std::array<const char*, 8> kErrorNames = {
    "błąd ramki",                       // ceFrame
    "błąd parzystości",                 // ceRxParity
    "przepełnienie odbiornika",         // ceOverrun
    "przerwa na linii",                 // ceBreak
    "utrata połączenia z portem",       // ceIO: an adapter pulled out, a hang-up
    "tryb niedostępny",                 // ceMode
    "przepełnienie kolejki odbiorczej", // ceRxOver
    "przepełnienie kolejki nadawczej"}; // ceTxFull

} // namespace

std::string LineErrorText(TComErrors Errors)
{
    std::string names;
    for (size_t i = 0; i < kErrorNames.size(); ++i) {
        if (!Errors.Contains(static_cast<TComError>(i)))
            continue;
        names += names.empty() ? "" : ", ";
        names += kErrorNames[i];
    }
    return "błąd linii szeregowej (" + (names.empty() ? std::string("nieokreślony") : names) + ")";
}
