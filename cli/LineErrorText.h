#pragma once
// The line errors a port reported, in the tool's words.
#include <string>

#include <velt/comport/ComTypes.h>

// "błąd linii szeregowej (…)": what failed on the line, so that the user
// knows the read was damaged by the line, not by a missing port choice.
std::string LineErrorText(TComErrors Errors);
