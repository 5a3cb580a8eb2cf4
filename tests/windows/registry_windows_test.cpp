// The registry store on the system's registry: the kinds and bytes of what it
// writes (those of the REGEDIT4 file of other platforms, so exported keys
// move between them), what reads give back, the port list's source, and a
// REGEDIT4 file written on another platform imported with the system's own
// registry editor.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/PortDetails.h>
#include <velt/comport/PortList.h>
#include "Registry.h"
#include "WinPortList.h"

namespace {

// A key of its own under HKEY_CURRENT_USER\Software, removed afterwards.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FPath = "Software\\VeltTest-" + std::to_string(GetCurrentProcessId()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        RegDeleteTreeA(HKEY_CURRENT_USER, FPath.c_str());
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, FPath.c_str()); }

    struct Raw {
        DWORD Type = REG_NONE;
        std::vector<BYTE> Data;
    };
    Raw RawValue(const std::string& SubKey, const std::string& Name) const
    {
        Raw raw;
        DWORD size = 0;
        const std::string path = FPath + (SubKey.empty() ? "" : "\\" + SubKey);
        const std::wstring key(path.begin(), path.end());
        const std::wstring name(Name.begin(), Name.end());
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &raw.Type, nullptr,
                         &size) != ERROR_SUCCESS)
            return raw;
        raw.Data.resize(size);
        RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &raw.Type,
                     raw.Data.data(), &size);
        raw.Data.resize(size);
        return raw;
    }
    static std::vector<BYTE> Utf16WithZero(const std::wstring& Text)
    {
        const auto* bytes = reinterpret_cast<const BYTE*>(Text.c_str());
        return std::vector<BYTE>(bytes, bytes + (Text.size() + 1) * sizeof(wchar_t));
    }

    std::string FPath;
};

} // namespace

TEST_F(RegistryTest, TextsAreRegSzAndNumbersRegDwordInTwosComplement)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(FPath, true));
    registry.WriteString("Port", "COM1");
    registry.WriteString("Name", "Pomiar \xc5\xbc\xc3\xb3\xc5\x82w");
    registry.WriteInteger("CustomBaudRate", 9600);
    registry.WriteInteger("Timeouts.ReadInterval", -1);
    registry.CloseKey();

    const Raw port = RawValue("", "Port");
    EXPECT_EQ(port.Type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(port.Data, Utf16WithZero(L"COM1"));
    EXPECT_EQ(RawValue("", "Name").Data, Utf16WithZero(L"Pomiar \u017c\u00f3\u0142w"));
    const Raw rate = RawValue("", "CustomBaudRate");
    EXPECT_EQ(rate.Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(rate.Data, (std::vector<BYTE>{0x80, 0x25, 0, 0}));
    EXPECT_EQ(RawValue("", "Timeouts.ReadInterval").Data, (std::vector<BYTE>{0xff, 0xff, 0xff, 0xff}));
}

TEST_F(RegistryTest, ReadsGiveBackWhatWasWrittenAndRefuseOtherKinds)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(FPath, true));
    registry.WriteString("Text", "Pomiar \xc5\xbc\xc3\xb3\xc5\x82w");
    registry.WriteInteger("Number", -2);
    EXPECT_EQ(registry.ReadString("Text"), "Pomiar \xc5\xbc\xc3\xb3\xc5\x82w");
    EXPECT_EQ(registry.ReadInteger("Number"), -2);
    EXPECT_EQ(registry.ReadString("Missing"), "");
    EXPECT_THROW(registry.ReadInteger("Missing"), ERegistryException);
    EXPECT_THROW(registry.ReadInteger("Text"), ERegistryException);
    EXPECT_THROW(registry.ReadString("Number"), ERegistryException);
    EXPECT_THROW(registry.WriteString("Zero", std::string("a\0b", 3)), ERegistryException);
    registry.CloseKey();
    EXPECT_THROW(registry.WriteString("Text", "x"), ERegistryException);
    EXPECT_EQ(registry.ReadString("Text"), "");
}

TEST_F(RegistryTest, OpeningWithoutCreateFindsOnlyExistingKeys)
{
    TRegistry registry;
    EXPECT_FALSE(registry.OpenKey(FPath + "\\Missing", false));
    EXPECT_FALSE(registry.KeyExists(FPath));
    ASSERT_TRUE(registry.OpenKey(FPath + "\\Sub", true));
    EXPECT_EQ(registry.CurrentPath(), FPath + "\\Sub");
    EXPECT_TRUE(registry.OpenKey("Deeper", true)); // below the open key
    EXPECT_EQ(registry.CurrentPath(), FPath + "\\Sub\\Deeper");
    EXPECT_TRUE(registry.KeyExists("\\" + FPath + "\\Sub"));
    EXPECT_FALSE(registry.OpenKey("a\\\\b", true));
}

TEST_F(RegistryTest, PortSettingsSurviveASaveAndRestore)
{
    const std::string location = "HKEY_CURRENT_USER\\" + FPath;
    TComPort saved(nullptr);
    saved.SetName("ComPort");
    saved.SetPort("COM7");
    saved.SetBaudRate(brCustom);
    saved.SetCustomBaudRate(250000);
    saved.SaveSettings(ssRegistry, location);
    EXPECT_EQ(RawValue("ComPort", "CustomBaudRate").Type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(RawValue("ComPort", "BaudRate").Type, static_cast<DWORD>(REG_SZ));

    TComPort restored(nullptr);
    restored.SetName("ComPort");
    restored.RestoreSettings(ssRegistry, location);
    EXPECT_EQ(restored.Port(), "COM7");
    EXPECT_EQ(restored.BaudRate(), brCustom);
    EXPECT_EQ(restored.CustomBaudRate(), 250000);
}

// What the REGEDIT4 store of another platform writes, imported with the
// system's registry editor, restores the same settings.
TEST_F(RegistryTest, Regedit4FileFromAnotherPlatformImports)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string file = std::string(temp) + "velt-import-" + std::to_string(GetCurrentProcessId()) + ".reg";
    std::ofstream(file, std::ios::binary) << "REGEDIT4\n\n[HKEY_CURRENT_USER\\" << FPath
                                          << "\\ComPort]\n\"Port\"=\"COM4\"\n\"BaudRate\"=\"Custom\"\n"
                                             "\"CustomBaudRate\"=dword:0001c200\n\"StopBits\"=\"2\"\n";
    std::string command = "regedit.exe /S \"" + file + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        DeleteFileA(file.c_str());
        GTEST_SKIP() << "no registry editor to import with (error " << GetLastError() << ")";
    }
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    DeleteFileA(file.c_str());

    TComPort port(nullptr);
    port.SetName("ComPort");
    port.RestoreSettings(ssRegistry, "HKEY_CURRENT_USER\\" + FPath);
    EXPECT_EQ(port.Port(), "COM4");
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.CustomBaudRate(), 115200);
    EXPECT_EQ(port.StopBits(), sbTwoStopBits);
}

TEST_F(RegistryTest, PortListHoldsTheTextValuesOfTheKey)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, FPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const auto setText = [&](const char* Name, const wchar_t* Port) {
        RegSetValueExW(key, std::wstring(Name, Name + strlen(Name)).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(Port), static_cast<DWORD>((wcslen(Port) + 1) * sizeof(wchar_t)));
    };
    setText("\\Device\\Serial0", L"COM1");
    setText("\\Device\\VCP0", L"COM10");
    const DWORD number = 3;
    RegSetValueExW(key, L"NotAPort", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    std::vector<std::string> names;
    EXPECT_EQ(device::ListSerialDevicesIn(key, names), 0);
    RegCloseKey(key);
    EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM10"}));
}

TEST(PortList, SystemListReadsWithoutFailing)
{
    std::vector<std::string> names;
    EXPECT_NO_THROW(ListPortNames(names));

    // The details name the same ports in the same order, each at least by
    // its name (where SetupAPI knows nothing of it, as under Wine), and the
    // watcher of the list is there or says it is not.
    std::vector<TPortDetails> details;
    EXPECT_NO_THROW(ListPortDetails(details));
    ASSERT_EQ(details.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(details[i].Name, names[i]);
        EXPECT_EQ(details[i].DevicePath, "\\\\.\\" + names[i]);
        EXPECT_EQ(DescribePort(details[i]).rfind(names[i], 0), 0u);
    }
    TPortListWatcher watcher;
    EXPECT_FALSE(watcher.Changed());
}
