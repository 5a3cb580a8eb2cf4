#pragma once
// Opening a serial line for the device: the object behind a path checked to
// be a terminal, opened non-blocking, taken exclusively and made raw. The
// body is the system's: linux/LineOpen.cpp; another system gives its own in
// its folder.
#include <string>

#include "UniqueFd.h"

namespace device {

// The open, prepared line at Path; invalid with Error (errno) on failure,
// EBUSY when another opener holds it, ENOTTY when it is no terminal.
platform::UniqueFd OpenSerialLine(const std::string& Path, int& Error);

} // namespace device
