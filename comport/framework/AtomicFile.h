#pragma once
// Whole-file reading, and replacing a file so that a reader or a crash sees
// either the old content or the new one, never a mixture.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// The most ReadWholeFile takes: settings files are a few hundred bytes.
constexpr uintmax_t kMaxReadFileSize = 16u << 20;

// The file's bytes, or nothing when it does not exist. Throws
// std::system_error when it exists but cannot be read, and when it is not a
// regular file (a directory, a FIFO, a device) or is larger than
// kMaxReadFileSize. A FIFO or a device is not even opened.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& File);

// Read-modify-write of File under an exclusive lock on LockFile (flock, so a
// writer killed in between releases it): Update gets the current content
// (nothing when the file does not exist) and returns the new one, which is
// written to a temporary file beside File, flushed to the disk and renamed
// over File. Update runs while the lock is held, so it may also move File
// aside. Every writer of File must use the same LockFile, which is a file
// of its own (created when missing) or a directory (locked as it is). Throws
// std::system_error on any platform failure; File is then unchanged.
void UpdateFileAtomically(const std::filesystem::path& File, const std::filesystem::path& LockFile,
                          const std::function<std::string(const std::optional<std::string>&)>& Update);

// Renames File to "<File><Suffix>", or "<File><Suffix>-N" when that name is
// taken, so that nothing is lost. Returns the new name.
std::filesystem::path MoveFileAside(const std::filesystem::path& File, const std::string& Suffix);
