#pragma once
// What the kernel tells about this process's threads (from /proc/self).
#include <functional>
#include <set>
#include <string>
#include <vector>

// The names in a directory, without the dot entries.
std::set<std::string> DirectoryEntries(const char* Path);
// How often a thread went to sleep: each wake-up of a waiting thread ends in
// one. Preemptions of a running thread (a loaded machine) are not counted.
long Sleeps(const std::string& Tid);
// The CPU time a thread of this process has used (user and system).
double ThreadCpuSeconds(const std::string& Tid);
// The threads that Action starts and leaves running.
std::vector<std::string> ThreadsStartedBy(const std::function<void()>& Action);
