#include "PortHolderText.h"

#include <velt/comport/device/PortHolders.h>

std::string PortHolderText(const std::string& Port)
{
    const device::PortHolders holders = device::FindPortHolders(Port);
    std::string named;
    for (const device::PortHolder& holder : holders.Named)
        named += (named.empty() ? "" : ", ") + holder.Program + " (PID " + std::to_string(holder.Pid) + ")";
    const std::string unknown =
        "procesy innych użytkowników, których nie można sprawdzić: " + std::to_string(holders.NotChecked);
    if (!named.empty())
        return "Port " + Port + " ma otwarty: " + named + (holders.NotChecked > 0 ? "; " + unknown : "") + ".";
    if (holders.NotChecked > 0)
        return "Nie wiadomo, kto trzyma port " + Port + " (" + unknown + ").";
    return {};
}
