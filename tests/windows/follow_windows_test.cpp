// velt-cli.exe follows the meter's adapter to the COM port where the system
// now lists it, and sends nothing when two ports could be it. The adapter is
// a device of the Ports class registered in Wine's SetupAPI with an FTDI
// driver's instance id, named as the test line (an echo) in the system's
// name list; the stored settings name COM7 and the adapter's identity.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ComLine.h"
#include "RegisteredPort.h"

namespace {

constexpr const wchar_t* kStoredKey = L"Software\\Velt4";
constexpr const wchar_t* kBackupKey = L"Software\\VeltTestFollowBackup";
constexpr const char* kStoredIdentity = "usb:0403:6001:at:Port_#0002.Hub_#0001:sn:A12345B";

std::wstring Wide(const std::string& Text) { return std::wstring(Text.begin(), Text.end()); }

void SetText(HKEY Key, const wchar_t* Name, const std::string& Value)
{
    const std::wstring wide = Wide(Value);
    RegSetValueExW(Key, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

// The program's stored settings (both roots) set aside for the test and put
// back after it; the test stores COM7 with the adapter's identity.
class StoredSettings {
public:
    StoredSettings()
    {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            RegDeleteTreeW(root, kBackupKey);
            HKEY backup = nullptr;
            if (RegCreateKeyExW(root, kBackupKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup, nullptr) == 0) {
                RegCopyTreeW(root, kStoredKey, backup);
                RegCloseKey(backup);
            }
            RegDeleteTreeW(root, kStoredKey);
        }
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Velt4\\ComPort", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr);
        SetText(key, L"Port", "COM7");
        SetText(key, L"AdapterIdentity", kStoredIdentity);
        RegCloseKey(key);
    }
    ~StoredSettings()
    {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            RegDeleteTreeW(root, kStoredKey);
            HKEY stored = nullptr;
            if (RegCreateKeyExW(root, kStoredKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &stored, nullptr) == 0) {
                RegCopyTreeW(root, kBackupKey, stored);
                RegCloseKey(stored);
            }
            RegDeleteTreeW(root, kBackupKey);
            RegDeleteKeyW(root, kBackupKey);
        }
    }
    StoredSettings(const StoredSettings&) = delete;
    StoredSettings& operator=(const StoredSettings&) = delete;
};

struct Finished {
    DWORD ExitCode = 0;
    std::string Out;
    std::string Err;
};

std::string Drain(HANDLE Pipe)
{
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(Pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

// velt-cli.exe with Arguments, its output collected.
Finished RunCli(const std::string& Arguments)
{
    std::string program = std::string("Z:") + VELT_CLI_EXE;
    for (char& c : program)
        if (c == '/')
            c = '\\';
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    CreatePipe(&outRead, &outWrite, &inherit, 1 << 16);
    CreatePipe(&errRead, &errWrite, &inherit, 1 << 16);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::wstring command = L"\"" + Wide(program) + L"\" " + Wide(Arguments);
    PROCESS_INFORMATION process{};
    Finished finished;
    finished.ExitCode = 255;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(outWrite);
        CloseHandle(errWrite);
        finished.Out = Drain(outRead);
        finished.Err = Drain(errRead);
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &finished.ExitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        finished.Err = "cannot start " + program + ": error " + std::to_string(GetLastError());
        CloseHandle(outWrite);
        CloseHandle(errWrite);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return finished;
}

std::string ControlPortName()
{
    char name[64] = {};
    const DWORD length = GetEnvironmentVariableA("VELT_CONTROL_PORT", name, sizeof name);
    return length > 0 && length < sizeof name ? std::string(name, length) : std::string();
}

} // namespace

TEST(FollowOnWine, VeltCliOpensTheStoredAdapterWhereItIsListedNowAndSaysSo)
{
    REQUIRE_TEST_LINE();
    const std::string line = TestPortName();
    RegisteredPort adapter(L"FTDIBUS\\VID_0403+PID_6001+A12345BA\\0000", Wide(line), L"USB Serial Port", L"FTDI",
                           L"Port_#0002.Hub_#0001");
    REQUIRE_REGISTERED(adapter);
    StoredSettings stored;
    const Finished read = RunCli("last");
    EXPECT_EQ(read.ExitCode, 0u) << read.Err;
    EXPECT_EQ(read.Out.rfind("T", 0), 0u) << "the request went to the echo line: " << read.Out;
    EXPECT_NE(read.Err.find("Adapter miernika jest teraz na porcie " + line + " (wcześniej COM7)"), std::string::npos)
        << read.Err;
}

TEST(FollowOnWine, VeltCliSendsNothingWhenTwoPortsCouldBeTheStoredAdapter)
{
    REQUIRE_TEST_LINE();
    const std::string other = ControlPortName();
    if (other.empty())
        GTEST_SKIP() << "no second port: VELT_CONTROL_PORT names none";
    // The same adapter's serial number twice, neither in the stored socket.
    RegisteredPort first(L"FTDIBUS\\VID_0403+PID_6001+A12345BA\\0001", Wide(TestPortName()), L"USB Serial Port",
                         L"FTDI", L"Port_#0003.Hub_#0001");
    RegisteredPort second(L"FTDIBUS\\VID_0403+PID_6001+A12345BA\\0002", Wide(other), L"USB Serial Port", L"FTDI",
                          L"Port_#0004.Hub_#0001");
    REQUIRE_REGISTERED(first);
    REQUIRE_REGISTERED(second);
    StoredSettings stored;
    const Finished read = RunCli("last");
    EXPECT_NE(read.ExitCode, 0u);
    EXPECT_EQ(read.Out, "") << "nothing was sent, so nothing came back";
    EXPECT_NE(read.Err.find("Nie można rozpoznać, który port jest adapterem miernika."), std::string::npos) << read.Err;
}
