#pragma once
// The one wrapper over epoll, for the device's wait set and the main loop's
// readiness set: a level-triggered set, so a member stays reported for as
// long as it is ready and nothing is forgotten between two waits. A member
// is known by a key of the caller's; a hang-up or an error is reported
// whatever the member is watched for.
#include <cstdint>
#include <sys/epoll.h>

#include "UniqueFd.h"

namespace platform {

// A new set (closed on exec); invalid, with errno set, when none can be made.
UniqueFd NewEpollSet();
// Fd joins Set, reported with Key while one of Events (EPOLLIN, or 0 for a
// hang-up only) holds. 0 or errno; a member added twice is EEXIST.
int EpollAdd(int Set, int Fd, uint32_t Events, uint64_t Key);
// Changes what Fd is watched for, adding it when it is not a member. 0 or
// errno.
int EpollWatch(int Set, int Fd, uint32_t Events, uint64_t Key);
// Fd leaves Set; a descriptor that is not a member is ignored.
void EpollRemove(int Set, int Fd);
// Waits up to TimeoutMs (0: only look; -1: no limit) for ready members and
// returns how many Ready got, or -1 with errno (EINTR: a signal came first).
// Members beyond Capacity are reported by the next wait.
int EpollWait(int Set, epoll_event* Ready, int Capacity, int TimeoutMs);

} // namespace platform
