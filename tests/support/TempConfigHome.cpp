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
    char pattern[] = "/tmp/velt-config-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    FHome = pattern;
    setenv("XDG_CONFIG_HOME", pattern, 1);
}

void TempConfigHomeTest::TearDown()
{
    unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(FHome);
}
