// What the kernel tells about this process's threads, for tests that bound
// how often a thread wakes or how much CPU it takes.
#include "support/ThreadStats.h"

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

std::set<std::string> DirectoryEntries(const char* Path)
{
    std::set<std::string> names;
    if (DIR* dir = opendir(Path)) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                names.insert(entry->d_name);
        closedir(dir);
    }
    return names;
}

long Sleeps(const std::string& Tid)
{
    std::ifstream status("/proc/self/task/" + Tid + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
            return std::stol(line.substr(line.find(':') + 1));
    return 0;
}

// From the kernel's tick counts. Only the threads looked at count, so neither the
// test's other threads nor a sanitizer's own ones disturb the figure.
double ThreadCpuSeconds(const std::string& Tid)
{
    std::ifstream stat("/proc/self/task/" + Tid + "/stat");
    std::string text;
    std::getline(stat, text);
    std::istringstream fields(text.substr(text.rfind(')') + 2)); // the name may hold blanks
    std::string field;
    for (int i = 3; i <= 13; ++i) // state (field 3) to cmajflt (field 13)
        fields >> field;
    long user = 0, system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::vector<std::string> ThreadsStartedBy(const std::function<void()>& Action)
{
    const auto before = DirectoryEntries("/proc/self/task");
    Action();
    std::vector<std::string> started;
    for (const auto& name : DirectoryEntries("/proc/self/task"))
        if (!before.count(name))
            started.push_back(name);
    return started;
}
