#include "TempConfigHome.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

std::string ReadFile(const fs::path& Path)
{
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& Path, const std::string& Text)
{
    fs::create_directories(Path.parent_path());
    std::ofstream(Path, std::ios::binary) << Text;
}

void TempConfigHomeTest::SetUp()
{
    // Under TMPDIR: the real-line rig's guest may write nowhere else.
    std::string pattern = (fs::temp_directory_path() / "velt-config-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    FHome = pattern;
    setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
}

void TempConfigHomeTest::TearDown()
{
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(FHome);
}
