#include <velt/comport/device/PortFacts.h>

#include <climits>
#include <cstdlib>

#include <velt/comport/device/SerialDevice.h>
#include "PortNames.h"
#include "SysfsPortFacts.h"

namespace device {

namespace {

bool IsPseudoTerminal(const std::string& DevicePath)
{
    char resolved[PATH_MAX];
    const std::string node = realpath(DevicePath.c_str(), resolved) != nullptr ? resolved : DevicePath;
    return node.rfind("/dev/pts/", 0) == 0 || node == "/dev/ptmx";
}

PortFacts FactsOf(const std::string& Name)
{
    const std::string path = DevicePathFor(Name);
    if (path.empty())
        return {};
    PortFacts facts;
    // A by-id link or "COM1" is described by the device it leads to.
    if (const std::string kernelName = ListedNameOf(Name); !kernelName.empty())
        facts = SysfsPortFacts("/sys/class/tty", kernelName);
    else if (IsPseudoTerminal(path))
        facts.Kind = PortKind::PseudoTerminal;
    facts.DevicePath = path;
    return facts;
}

} // namespace

std::vector<PortFacts> DescribeSerialDevices(const std::vector<std::string>& Names)
{
    std::vector<PortFacts> facts;
    facts.reserve(Names.size());
    for (const std::string& name : Names)
        facts.push_back(FactsOf(name));
    return facts;
}

} // namespace device
