#include <velt/comport/PortList.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include <velt/comport/ComError.h>
#include <velt/comport/ComTypes.h>
#include <velt/comport/device/SerialDevice.h>

namespace {

TPortNameSource& PortNameSource()
{
    static TPortNameSource source;
    return source;
}

bool LessIgnoringCase(const std::string& A, const std::string& B) { return UpperCaseAscii(A) < UpperCaseAscii(B); }

} // namespace

void ListPortNames(std::vector<std::string>& List)
{
    std::vector<std::string> names;
    const int error = PortNameSource() ? PortNameSource()(names) : device::ListSerialDevices(names);
    if (error != 0)
        throw EComPort(peRegistry, error);
    // Stable, so that names differing only in letter case keep the device
    // layer's order.
    std::stable_sort(names.begin(), names.end(), LessIgnoringCase);
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

bool IsPortPresent(const std::string& Port, const std::vector<std::string>& Listed)
{
    if (Port.empty())
        return false;
    if (IndexIgnoringCase(Listed, Port) >= 0)
        return true;
    const std::string listedName = device::ListedNameOf(Port);
    if (!listedName.empty() && std::find(Listed.begin(), Listed.end(), listedName) != Listed.end())
        return true;
    return IsExistingDevicePath(Port);
}
