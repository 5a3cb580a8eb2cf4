// Files of the framework on Windows. Profile files: the settings home is
// %APPDATA%, paths may carry drive letters and backslashes, and a new file gets
// the system's CR LF. A whole-file write that fails leaves the old file.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include <velt/comport/framework/FileWrite.h>
#include <velt/comport/framework/IniFile.h>

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& Path)
{
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// %APPDATA% points into a fresh folder for the test's lifetime.
class IniFileWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FHome = fs::temp_directory_path() / ("velt-appdata-" + std::to_string(GetCurrentProcessId()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(FHome);
        fs::create_directories(FHome);
        SetEnvironmentVariableW(L"APPDATA", FHome.c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"APPDATA", nullptr);
        fs::remove_all(FHome);
    }
    fs::path FHome;
};

std::string Utf8(const fs::path& Path)
{
    const std::u8string text = Path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

TEST_F(IniFileWindowsTest, BareNameLivesInAppDataAndNewFilesGetCrLf)
{
    TIniFile ini("velt.ini");
    EXPECT_EQ(ini.FileName(), FHome / "velt.ini");
    ini.WriteString("ComPort", "Port", "COM3");
    ini.WriteInteger("ComPort", "Rate", -5);
    EXPECT_EQ(ReadBytes(FHome / "velt.ini"), "[ComPort]\r\nPort=COM3\r\nRate=-5\r\n");
    EXPECT_EQ(ini.ReadString("comport", "PORT", ""), "COM3");
}

TEST_F(IniFileWindowsTest, FileWithLfLineEndsKeepsThem)
{
    const fs::path file = FHome / "unix.ini";
    std::ofstream(file, std::ios::binary) << "[A]\nx=1\n";
    TIniFile ini(Utf8(file));
    ini.WriteString("A", "y", "2");
    EXPECT_EQ(ReadBytes(file), "[A]\nx=1\ny=2\n");
}

TEST_F(IniFileWindowsTest, PathsWithBackslashesAndNonAsciiNamesWork)
{
    const fs::path folder = FHome / u8"Pomiary \u017c\u00f3\u0142te";
    fs::create_directories(folder);
    const std::string name = Utf8(folder) + "\\ustawienia.ini";
    ASSERT_NE(name.find(":\\"), std::string::npos) << "an absolute Windows path";
    TIniFile ini(name);
    ini.WriteString("ComPort", "Port", "COM4");
    EXPECT_TRUE(fs::exists(folder / "ustawienia.ini"));
    EXPECT_EQ(TIniFile(name).ReadString("ComPort", "Port", ""), "COM4");
}

TEST_F(IniFileWindowsTest, FolderThatDoesNotExistFailsTheWrite)
{
    TIniFile ini(Utf8(FHome / "missing" / "x.ini"));
    EXPECT_THROW(ini.WriteString("A", "b", "c"), EIniFileException);
}

// The file is held open without sharing its deletion (as an editor may hold
// it): it cannot be replaced, and stays whole, with no temporary file beside.
TEST_F(IniFileWindowsTest, WholeFileWriteThatCannotReplaceLeavesTheOldFile)
{
    const fs::path file = FHome / L"pomiary.rtf";
    WriteFileAtomically(file, "stary");
    EXPECT_EQ(ReadBytes(file), "stary");
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    try {
        WriteFileAtomically(file, "nowy");
        ADD_FAILURE() << "a file held open was replaced";
    } catch (const std::system_error& error) {
        EXPECT_NE(std::string(error.what()).find("pomiary.rtf"), std::string::npos) << error.what();
    }
    CloseHandle(held);
    EXPECT_EQ(ReadBytes(file), "stary");
    EXPECT_EQ(std::distance(fs::directory_iterator(FHome), fs::directory_iterator()), 1);
    WriteFileAtomically(file, "nowy");
    EXPECT_EQ(ReadBytes(file), "nowy");
}

// A file larger than any settings file (over 16 MiB) is refused whole, for
// reading and for an update alike, and stays as it was.
TEST_F(IniFileWindowsTest, FileLargerThanAReaderTakesIsRefusedAndKept)
{
    const fs::path file = FHome / "duzy.ini";
    const std::string content = "[A]\nx=1\n" + std::string(16u << 20, ';');
    std::ofstream(file, std::ios::binary) << content;
    TIniFile ini(Utf8(file));
    EXPECT_THROW(ini.ReadString("A", "x", ""), EIniFileException);
    EXPECT_THROW(ini.WriteString("A", "y", "2"), EIniFileException);
    EXPECT_EQ(fs::file_size(file), content.size());
}
