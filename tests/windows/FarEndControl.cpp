#include "FarEndControl.h"

namespace {

std::string ControlPortName()
{
    char name[64] = {};
    const DWORD length = GetEnvironmentVariableA("VELT_CONTROL_PORT", name, sizeof name);
    return length > 0 && length < sizeof name ? std::string(name, length) : std::string();
}

} // namespace

FarEndControl::FarEndControl()
{
    const std::string name = ControlPortName();
    if (name.empty())
        return;
    FHandle =
        CreateFileA(("\\\\.\\" + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (FHandle == INVALID_HANDLE_VALUE)
        return;
    // Each read waits a short while for its byte; WaitFor keeps reading.
    COMMTIMEOUTS timeouts{0, 0, 200, 0, 2000};
    SetCommTimeouts(FHandle, &timeouts);
}

FarEndControl::~FarEndControl()
{
    if (FHandle != INVALID_HANDLE_VALUE)
        CloseHandle(FHandle);
}

void FarEndControl::KeepAnswering()
{
    DWORD written = 0;
    WriteFile(FHandle, "d", 1, &written, nullptr);
}

bool FarEndControl::HangUp() { return Command('h', 'h'); }
bool FarEndControl::BringBack() { return Command('b', 'b'); }

bool FarEndControl::Command(char Byte, char Answer)
{
    DWORD written = 0;
    return WriteFile(FHandle, &Byte, 1, &written, nullptr) && written == 1 && WaitFor(Answer);
}

// Other answers (an 'r' from before) are passed over.
bool FarEndControl::WaitFor(char Answer)
{
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (GetTickCount64() < deadline) {
        char got = 0;
        DWORD read = 0;
        if (!ReadFile(FHandle, &got, 1, &read, nullptr))
            return false;
        if (read == 1 && got == Answer)
            return true;
    }
    return false;
}
