#pragma once
// The per-user configuration directory: ${XDG_CONFIG_HOME:-$HOME/.config}.
#include <filesystem>

// The directory itself, whether or not it exists yet. A relative or empty
// XDG_CONFIG_HOME is ignored, as the base-directory rules ask.
std::filesystem::path ConfigHome();

// Creates Directory and its parents when missing (new ones readable by the
// user alone). Throws std::system_error when that fails or when the path
// names something that is not a directory.
void EnsureDirectory(const std::filesystem::path& Directory);
