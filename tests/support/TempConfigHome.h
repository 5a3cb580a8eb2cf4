#pragma once
// A temporary configuration home for tests that keep settings in real files:
// XDG_CONFIG_HOME points into a fresh directory for the test's lifetime.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& Path);
// Writes Text, creating the directories on the way.
void WriteFile(const fs::path& Path, const std::string& Text);

class TempConfigHomeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Where the registry file lives under this home.
    fs::path RegistryFile() const { return FHome / "velt" / "registry.reg"; }
    fs::path FHome;
};
