#pragma once
// A device of the Ports class registered in the system's SetupAPI with the
// instance id and properties a real driver gives it, and its port name in
// the system's name list (HARDWARE\DEVICEMAP\SERIALCOMM); both removed at the
// end. Wine takes such registrations, so the port details and the following
// of an adapter are shown on the ids real drivers make.
#include <windows.h>

#include <setupapi.h>

#include <string>

class RegisteredPort {
public:
    // Location: the location information; null for none.
    RegisteredPort(const std::wstring& InstanceId, const std::wstring& PortName, const std::wstring& Friendly,
                   const std::wstring& Maker, const wchar_t* Location);
    ~RegisteredPort();
    RegisteredPort(const RegisteredPort&) = delete;
    RegisteredPort& operator=(const RegisteredPort&) = delete;

    // What failed, or empty when the device is registered.
    std::string Failure;

private:
    void SetText(DWORD Property, const std::wstring& Text);

    HDEVINFO FSet = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA FDevice{};
    bool FRegistered = false;
    std::wstring FListedAs; // the value in the name list
};

// Skips the calling test when the system took no such registration.
#define REQUIRE_REGISTERED(port)                                                                                       \
    do {                                                                                                               \
        if (!(port).Failure.empty())                                                                                   \
            GTEST_SKIP() << "the system's SetupAPI registers no device of the Ports class here: " << (port).Failure;   \
    } while (0)
