#include "OpenErrorText.h"

#include <velt/comport/ComError.h>

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

std::string OpenErrorText(const std::string& Port, const EComPort& Error)
{
    const std::string words = Words(Error.OpenFailure());
    return Port + ": " + (words.empty() ? "" : words + "; ") + Error.what();
}
