#pragma once
/// @file
/// The program's standard streams as the platform sees them.
#include <velt/comport/Export.h>
#include <cstdio>

/// Whether Stream is an interactive terminal (not a file or a pipe).
VELT_COMPORT_EXPORT bool IsTerminal(std::FILE* Stream);
