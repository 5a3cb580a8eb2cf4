// Profile files and the framework's integer parsing that their numbers use.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <velt/comport/framework/IniFile.h>
#include <velt/comport/framework/IntParse.h>

#include "support/TempConfigHome.h"

namespace {

using IniFileTest = TempConfigHomeTest;

TEST_F(IniFileTest, BareNameLivesInTheConfigDirectoryAndIsCreatedOnFirstWrite)
{
    TIniFile ini("velt.ini");
    EXPECT_EQ(ini.FileName(), FHome / "velt.ini");
    EXPECT_EQ(ini.ReadString("ComPort", "Port", "none"), "none");
    EXPECT_FALSE(fs::exists(FHome / "velt.ini")) << "reading creates nothing";
    ini.WriteString("ComPort", "Port", "COM3");
    ini.WriteInteger("ComPort", "Rate", -5);
    ini.WriteString("Other", "Port", "COM4");
    EXPECT_EQ(ReadFile(FHome / "velt.ini"), "[ComPort]\nPort=COM3\nRate=-5\n\n[Other]\nPort=COM4\n");
}

TEST_F(IniFileTest, NamesWithoutCaseValuesTrimmedOtherLinesKept)
{
    const fs::path file = FHome / "hand.ini";
    std::ofstream(file) << "; made by hand\r\n[comport]\r\n  PORT =  COM7  \r\nnot a value\r\n\r\n[Next]\r\nX=1\r\n";
    TIniFile ini(file.string());
    EXPECT_EQ(ini.ReadString("ComPort", "port", ""), "COM7");
    ini.WriteString("COMPORT", "Port", "COM8");
    ini.WriteString("ComPort", "Added", "yes");
    EXPECT_EQ(ReadFile(file),
              "; made by hand\r\n[comport]\r\nPort=COM8\r\nnot a value\r\nAdded=yes\r\n\r\n[Next]\r\nX=1\r\n");
}

TEST_F(IniFileTest, NamesWithBlanksAroundAreFoundAgainAndWrittenOnce)
{
    TIniFile ini("blanks.ini");
    ini.WriteString("S", "a ", "v");
    ini.WriteString(" S ", " a", "w");
    EXPECT_EQ(ini.ReadString("S", "a ", "default"), "w");
    EXPECT_EQ(ini.ReadString(" S", "a", "default"), "w");
    EXPECT_EQ(ReadFile(FHome / "blanks.ini"), "[S]\na=w\n");
}

// A CR that is no part of a line end stays where it is through a rewrite;
// a value holding one is refused by a read as by a write.
TEST_F(IniFileTest, BareCrSurvivesARewriteAndIsNoValue)
{
    const std::string content = "[S]\n; a\rb\nCr=x\ry\n; last\r";
    WriteFile(FHome / "cr.ini", content);
    TIniFile ini("cr.ini");
    EXPECT_THROW(ini.ReadString("S", "Cr", "d"), EIniFileException);
    ini.WriteString("S", "New", "1");
    ini.WriteString("S", "New", "2");
    EXPECT_EQ(ReadFile(FHome / "cr.ini"), "[S]\n; a\rb\nCr=x\ry\n; last\r\r\nNew=2\n");
    EXPECT_THROW(ini.ReadString("S", "Cr", "d"), EIniFileException);
}

TEST_F(IniFileTest, IntegersUseTheFrameworkParsing)
{
    const fs::path file = FHome / "numbers.ini";
    std::ofstream(file) << "[N]\nHex=0x10\nDollar=$FF\nWord=ten\nBlank=\nTrailing=12 x\n";
    TIniFile ini(file.string());
    EXPECT_EQ(ini.ReadInteger("N", "Hex", 0), 16);
    EXPECT_EQ(ini.ReadInteger("N", "Dollar", 0), 255);
    EXPECT_EQ(ini.ReadInteger("N", "Word", 7), 7);
    EXPECT_EQ(ini.ReadInteger("N", "Blank", 7), 7);
    EXPECT_EQ(ini.ReadInteger("N", "Trailing", 7), 7);
    EXPECT_EQ(ini.ReadInteger("N", "Missing", 7), 7);
}

TEST_F(IniFileTest, WritesThatCannotBeStoredFail)
{
    TIniFile ini((FHome / "missing-dir" / "x.ini").string());
    EXPECT_THROW(ini.WriteString("S", "N", "v"), EIniFileException);
    TIniFile good((FHome / "good.ini").string());
    EXPECT_THROW(good.WriteString("S", "N", "two\nlines"), EIniFileException);
    EXPECT_THROW(good.WriteString("S]", "N", "v"), EIniFileException);
    EXPECT_THROW(good.WriteString("S", "a=b", "v"), EIniFileException);
    EXPECT_FALSE(fs::exists(FHome / "good.ini"));
}

TEST_F(IniFileTest, UnreadableFileFailsInsteadOfGivingDefaults)
{
    fs::create_directory(FHome / "dir.ini");
    TIniFile ini((FHome / "dir.ini").string());
    EXPECT_THROW(ini.ReadString("S", "N", "d"), EIniFileException);
}

struct StrictCase {
    const char* Text;
    bool Ok;
    int32_t Value;
};

TEST(IntParse, StrictReadingTakesOnlyWholeNumbers)
{
    const StrictCase cases[] = {
        {"0", true, 0},
        {"017", true, 17},
        {"  -42", true, -42},
        {"+7", true, 7},
        {"$0D", true, 13},
        {"x1f", true, 31},
        {"X1F", true, 31},
        {"0x10", true, 16},
        {"0X10", true, 16},
        {"-$10", true, -16},
        {"$FFFFFFFF", true, -1},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0},
        {"$100000000", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"1x", false, 0},
        {"12 ", false, 0},
        {"1.5", false, 0},
        {"$G", false, 0},
    };
    for (const StrictCase& c : cases) {
        int32_t value = 99;
        EXPECT_EQ(TryParseInteger(c.Text, value), c.Ok) << '"' << c.Text << '"';
        EXPECT_EQ(value, c.Ok ? c.Value : 99) << '"' << c.Text << '"';
    }
}

TEST(IntParse, LeadingReadingStopsAtTheFirstNonDigit)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"91\r\n", 91},
        {"  -3abc", -3},
        {"+12", 12},
        {"", 0},
        {"abc", 0},
        {"\r\n", 0},
        {"$1Fz", 31},
        {"0x10\r\n", 16},
        {"1 2", 1},
        {"99999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ParseLeadingInteger(text), expected) << '"' << text << '"';
}

} // namespace
