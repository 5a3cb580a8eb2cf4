#pragma once
// The registry file as last read and parsed, shared by every registry object
// of the process while the file stays as it was. Looking into the settings
// twice in a row (which place holds them, then the settings themselves)
// reads and parses the file once, and a large file is held in memory once.
#include <filesystem>
#include <memory>

#include "RegistryFile.h"

// The parsed content of File: an empty document when there is no file, null
// when the file cannot be parsed. Throws what ReadWholeFile throws.
std::shared_ptr<const regfile::Document> ReadRegistrySnapshot(const std::filesystem::path& File);
