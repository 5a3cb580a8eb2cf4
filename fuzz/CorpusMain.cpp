// The fuzz targets outside libFuzzer: each input of the given files and
// directories goes through the target once, so that the seed corpus and the
// inputs that once failed run as regression tests in every build.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* Argc, char*** Argv);

namespace {

void RunInput(const std::filesystem::path& File)
{
    std::ifstream in(File, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

int main(int Argc, char** Argv)
{
    if (LLVMFuzzerInitialize != nullptr)
        LLVMFuzzerInitialize(&Argc, &Argv);
    int inputs = 0;
    for (int i = 1; i < Argc; ++i) {
        const std::filesystem::path path = Argv[i];
        if (!std::filesystem::is_directory(path)) {
            RunInput(path);
            ++inputs;
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            RunInput(entry.path());
            ++inputs;
        }
    }
    std::printf("%d inputs passed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
