#include "FuzzSupport.h"

#include <cstdlib>
#include <fstream>
#include <system_error>
#include <unistd.h>

std::filesystem::path UsePrivateConfigHome()
{
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    const std::filesystem::path home = base / ("velt-fuzz-" + std::to_string(getpid()));
    static std::filesystem::path created;
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    created = home;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(created, ignored);
    });
    return home;
}

void WriteBytes(const std::filesystem::path& File, const std::string& Bytes)
{
    std::filesystem::create_directories(File.parent_path());
    std::ofstream out(File, std::ios::binary | std::ios::trunc);
    out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    FUZZ_CHECK(out.good());
}
