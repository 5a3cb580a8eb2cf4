#pragma once
// The far end of the test line, as ptyline plays it with --control: one-byte
// commands on a second COM port (named in VELT_CONTROL_PORT) take the line
// away as a pulled adapter would, keep an answer going, and bring it back.
#include <windows.h>

#include <string>

class FarEndControl {
public:
    FarEndControl();
    ~FarEndControl();
    FarEndControl(const FarEndControl&) = delete;
    FarEndControl& operator=(const FarEndControl&) = delete;

    // Whether the control port is there (the tests run under ptyline --control).
    bool Present() const { return FHandle != INVALID_HANDLE_VALUE; }
    // After each echo the line stays busy, so an answer never ends by itself.
    void KeepAnswering();
    // The far end goes away / comes back under the same name; true once done.
    bool HangUp();
    bool BringBack();

private:
    bool Command(char Byte, char Answer);
    bool WaitFor(char Answer);

    HANDLE FHandle = INVALID_HANDLE_VALUE;
};

// Skips the calling test when the far end cannot be commanded.
#define REQUIRE_FAR_END_CONTROL(control)                                                                               \
    do {                                                                                                               \
        if (!(control).Present())                                                                                      \
            GTEST_SKIP() << "no control of the far end: VELT_CONTROL_PORT names none (ptyline --control gives one)";   \
    } while (0)
