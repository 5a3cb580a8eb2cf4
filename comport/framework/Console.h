#pragma once
// The program's standard streams as the platform sees them.
#include <cstdio>

// Whether Stream is an interactive terminal (not a file or a pipe).
bool IsTerminal(std::FILE* Stream);
