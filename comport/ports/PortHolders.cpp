// Who else holds a port open: the processes the system shows holding each
// port's device, as details and as the texts that name them.
#include "PortHolders.h"

#include <velt/comport/device/PortFacts.h>

void AddPortHolders(std::vector<TPortDetails>& Details)
{
    std::vector<std::string> paths;
    paths.reserve(Details.size());
    for (const TPortDetails& port : Details)
        paths.push_back(port.DevicePath);
    const std::vector<device::PortHolders> found = device::FindPortHolders(paths);
    for (size_t i = 0; i < Details.size() && i < found.size(); ++i) {
        Details[i].Holders.clear();
        for (const device::PortHolder& holder : found[i].Processes)
            Details[i].Holders.push_back({holder.Pid, holder.Program});
        Details[i].UnreadableProcesses = found[i].Unreadable;
    }
}

std::string DescribePortHolders(const std::vector<TPortHolder>& Holders)
{
    std::string text;
    for (const TPortHolder& holder : Holders)
        text += (text.empty() ? "" : ", ") + holder.Program + " (PID " + std::to_string(holder.Pid) + ")";
    return text;
}

std::string PortHolderNote(const std::string& Port, int32_t SystemErrorCode)
{
    if (!device::IsPortInUseError(SystemErrorCode))
        return {};
    std::vector<TPortDetails> port(1);
    port[0].Name = Port;
    port[0].DevicePath = device::DescribeSerialDevices({Port}).front().DevicePath;
    if (port[0].DevicePath.empty())
        return {};
    AddPortHolders(port);
    if (!port[0].Holders.empty())
        return "używany przez: " + DescribePortHolders(port[0].Holders);
    const int32_t unreadable = port[0].UnreadableProcesses;
    if (unreadable == 0)
        return {};
    // The holder is among the processes of other users (a modem prober runs
    // as root), which only root may look at.
    return "nie widać, kto go używa (nie można sprawdzić " + std::to_string(unreadable) +
           (unreadable == 1 ? " procesu innego użytkownika)" : " procesów innych użytkowników)");
}
