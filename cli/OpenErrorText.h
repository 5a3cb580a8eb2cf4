#pragma once
// A port that did not open, for the command line: what happened in words a
// technician acts on, beside the component's own message.
#include <string>

#include "MeterView.h"

// "ttyUSB0: nie ma takiego portu; Unable to open com port (win error code: 2)"
std::string OpenErrorText(const PortOpenFailure& Failure);
