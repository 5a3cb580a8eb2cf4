#pragma once
// Who else holds the listed ports open, added to their details.
#include <vector>

#include <velt/comport/PortDetails.h>

// Fills Holders and UnreadableProcesses of every port in Details, by its
// DevicePath, with one look at the system's processes.
void AddPortHolders(std::vector<TPortDetails>& Details);
