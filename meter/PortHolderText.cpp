#include "PortHolderText.h"

#include <velt/comport/device/PortHolders.h>

namespace {

std::string Names(const device::PortHolders& Holders)
{
    std::string named;
    for (const device::PortHolder& holder : Holders.Named)
        named += (named.empty() ? "" : ", ") + holder.Program + " (PID " + std::to_string(holder.Pid) + ")";
    return named;
}

} // namespace

std::string PortHolderNames(const std::string& Port) { return Names(device::FindPortHolders(Port)); }

std::string PortHolderText(const std::string& Port)
{
    const device::PortHolders holders = device::FindPortHolders(Port);
    const std::string named = Names(holders);
    const std::string unknown =
        "procesy innych użytkowników, których nie można sprawdzić: " + std::to_string(holders.NotChecked);
    if (!named.empty())
        return "Port " + Port + " ma otwarty: " + named + (holders.NotChecked > 0 ? "; " + unknown : "") + ".";
    if (holders.NotChecked > 0)
        return "Nie wiadomo, kto trzyma port " + Port + " (" + unknown + ").";
    return {};
}
