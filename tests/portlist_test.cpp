// The list of serial ports: its order, its failure, and which device paths
// count as existing ports besides the listed ones.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <velt/comport/ComError.h>
#include <velt/comport/PortList.h>
#include "support/ComErrors.h"
#include "support/PseudoTerminal.h"

namespace {
struct PortListTest : ::testing::Test {
    void TearDown() override { SetPortNameSource({}); }
    static void UseDevices(std::vector<std::string> Names)
    {
        SetPortNameSource([Names](std::vector<std::string>& Out) {
            Out = Names;
            return 0;
        });
    }
};
} // namespace

TEST_F(PortListTest, SortsByTextWithoutRegardToCaseKeepingDuplicates)
{
    UseDevices({"COM2", "ttyUSB0", "com10", "COM1", "COM1", "ttyACM0"});
    std::vector<std::string> list{"left over"};
    ListPortNames(list);
    EXPECT_EQ(list, (std::vector<std::string>{"COM1", "COM1", "com10", "COM2", "ttyACM0", "ttyUSB0"}));
}

TEST_F(PortListTest, UnreadableListRaisesRegistryErrorAndLeavesListAlone)
{
    SetPortNameSource([](std::vector<std::string>&) { return EACCES; });
    std::vector<std::string> list{"COM3"};
    const EComPort e = ExpectComError([&] { ListPortNames(list); });
    EXPECT_EQ(e.PortErrorCode(), 23);
    EXPECT_EQ(e.SystemErrorCode(), EACCES);
    EXPECT_EQ(e.Message(), "Registry error (win error code: " + std::to_string(EACCES) + ")");
    EXPECT_EQ(list, std::vector<std::string>{"COM3"});
}

TEST_F(PortListTest, OnlyAbsolutePathsToExistingCharacterDevicesCount)
{
    PseudoTerminal pty;
    EXPECT_TRUE(IsExistingDevicePath(pty.SlavePath()));

    // A socat-style link to the terminal counts as the terminal.
    const auto dir = std::filesystem::temp_directory_path() / ("velt-portlist-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::create_symlink(pty.SlavePath(), dir / "link");
    std::ofstream(dir / "plain") << "not a device";
    EXPECT_TRUE(IsExistingDevicePath((dir / "link").string()));
    EXPECT_FALSE(IsExistingDevicePath((dir / "plain").string()));
    EXPECT_FALSE(IsExistingDevicePath((dir / "missing").string()));
    EXPECT_FALSE(IsExistingDevicePath(pty.SlavePath().substr(5))); // "pts/N": a name, not a path
    EXPECT_FALSE(IsExistingDevicePath(""));
    std::filesystem::remove_all(dir);
}
