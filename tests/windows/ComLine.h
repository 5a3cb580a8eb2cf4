#pragma once
// The COM port of the Windows line tests: tools/windows.sh runs them through
// a helper that maps a free COMn of the Wine prefix to a pseudo-terminal,
// plays its far end as an echo, and names the port in VELT_TEST_PORT.
#include <windows.h>

#include <string>

// The port's name ("COM10"), or "" when the tests run without a line.
std::string TestPortName();

// Opens the test port directly, for probing what the system offers before
// the component takes it; INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenTestPortDirectly();

// Skips the calling test when no line was given.
#define REQUIRE_TEST_LINE()                                                                                            \
    do {                                                                                                               \
        if (TestPortName().empty())                                                                                    \
            GTEST_SKIP() << "no line: VELT_TEST_PORT names none (tools/windows.sh gives one under Wine)";              \
    } while (0)
