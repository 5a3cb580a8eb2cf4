#pragma once
// What the fuzz targets share: a check that stops the run with a message
// (libFuzzer keeps the input that got there), and a private settings home on
// a memory file system where one exists, so that the many small atomic saves
// of a run cost no disk writes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#define FUZZ_CHECK(Condition)                                                                                          \
    do {                                                                                                               \
        if (!(Condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #Condition);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

// The entry points libFuzzer calls (and the corpus runner of the other builds).
extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

// Creates a fresh directory, points XDG_CONFIG_HOME at it and returns it.
std::filesystem::path UsePrivateConfigHome();

// Replaces File's content with Bytes.
void WriteBytes(const std::filesystem::path& File, const std::string& Bytes);
