#include "OpenErrorText.h"

namespace {

std::string Words(TOpenFailure Failure)
{
    switch (Failure) {
    case ofNoSuchPort:
        return "nie ma takiego portu";
    case ofInUse:
        return "port jest zajęty przez inny program";
    case ofAccessDenied:
        return "brak uprawnień do portu";
    case ofOther:
        break;
    }
    return {};
}

} // namespace

std::string OpenErrorText(const PortOpenFailure& Failure)
{
    const std::string words = Words(Failure.Kind);
    return Failure.Port + ": " + (words.empty() ? "" : words + "; ") + Failure.Message;
}
