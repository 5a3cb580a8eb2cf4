#include "PortNames.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <dirent.h>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

#include <velt/comport/device/SerialDevice.h>

namespace device {

namespace {

bool EqualsIgnoringCase(const std::string& A, const std::string& B)
{
    return std::equal(A.begin(), A.end(), B.begin(), B.end(), [](char X, char Y) {
        return std::toupper(static_cast<unsigned char>(X)) == std::toupper(static_cast<unsigned char>(Y));
    });
}

// n of "COMn" with n >= 1, or 0 when the name is something else.
unsigned long ComNumber(const std::string& Port)
{
    if (Port.size() < 4 || Port.size() > 12 || !EqualsIgnoringCase(Port.substr(0, 3), "COM"))
        return 0;
    unsigned long number = 0;
    for (size_t i = 3; i < Port.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(Port[i])))
            return 0;
        number = number * 10 + static_cast<unsigned long>(Port[i] - '0');
    }
    return number;
}

bool IsPlaceholderUart(const std::string& EntryDir, const std::string& Name)
{
    if (Name.rfind("ttyS", 0) != 0)
        return false;
    std::ifstream typeFile(EntryDir + "/type");
    int type = -1;
    return typeFile >> type && type == 0;
}

} // namespace

std::string DevicePathFor(const std::string& Port)
{
    // A zero byte would cut the path short, and a name under /dev/ must
    // not climb out of it ("../../etc/passwd").
    if (Port.empty() || Port.find('\0') != std::string::npos)
        return {};
    if (Port.front() == '/')
        return Port;
    if (Port.find('/') != std::string::npos)
        return {};
    if (const unsigned long number = ComNumber(Port); number >= 1)
        return "/dev/ttyS" + std::to_string(number - 1);
    return "/dev/" + Port;
}

int ListSerialDevicesUnder(const std::string& TtyClassDir, std::vector<std::string>& Names)
{
    Names.clear();
    DIR* dir = opendir(TtyClassDir.c_str());
    if (dir == nullptr)
        return errno;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string entryDir = TtyClassDir;
        entryDir.append("/").append(name);
        struct stat info {};
        if (stat((entryDir + "/device").c_str(), &info) != 0)
            continue; // virtual terminals, pseudo-terminals and the like
        if (!IsPlaceholderUart(entryDir, name))
            Names.push_back(name);
    }
    closedir(dir);
    // A fixed order whatever the directory's; the port list sorts for people.
    std::sort(Names.begin(), Names.end());
    return 0;
}

std::string ListedNameOf(const std::string& Port)
{
    // "COM1" is /dev/ttyS0, and a by-id link leads to /dev/ttyUSB0: the
    // kernel lists both by the name of the device node under /dev.
    const std::string path = DevicePathFor(Port);
    char resolved[PATH_MAX];
    if (path.empty() || realpath(path.c_str(), resolved) == nullptr)
        return {};
    const std::string node = resolved;
    const std::string devices = "/dev/";
    if (node.rfind(devices, 0) != 0 || node.find('/', devices.size()) != std::string::npos)
        return {};
    return node.substr(devices.size());
}

int ListSerialDevices(std::vector<std::string>& Names) { return ListSerialDevicesUnder("/sys/class/tty", Names); }

} // namespace device
