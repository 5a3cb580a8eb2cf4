#include <velt/comport/PortList.h>

#include <filesystem>
#include <system_error>

#include <velt/comport/ComError.h>
#include <velt/comport/ComTypes.h>
#include <velt/comport/device/SerialDevice.h>
#include "PortNameOrder.h"

namespace {

TPortNameSource& PortNameSource()
{
    static TPortNameSource source;
    return source;
}

} // namespace

void ListPortNames(std::vector<std::string>& List)
{
    std::vector<std::string> names;
    const int error = PortNameSource() ? PortNameSource()(names) : device::ListSerialDevices(names);
    if (error != 0)
        throw EComPort(peRegistry, error);
    SortByPortName(names, [](const std::string& Name) -> const std::string& { return Name; });
    List = std::move(names);
}

void SetPortNameSource(TPortNameSource Source) { PortNameSource() = std::move(Source); }

bool IsExistingDevicePath(const std::string& Port)
{
    if (Port.empty() || Port.front() != '/')
        return false;
    std::error_code error;
    return std::filesystem::is_character_file(Port, error);
}
