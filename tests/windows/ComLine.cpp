#include "ComLine.h"

std::string TestPortName()
{
    char name[64] = {};
    const DWORD length = GetEnvironmentVariableA("VELT_TEST_PORT", name, sizeof name);
    return length > 0 && length < sizeof name ? std::string(name, length) : std::string();
}

HANDLE OpenTestPortDirectly()
{
    const std::string name = "\\\\.\\" + TestPortName();
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                       nullptr);
}
