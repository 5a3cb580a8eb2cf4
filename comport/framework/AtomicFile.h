#pragma once
// Whole-file reading, and replacing a file so that a reader or a crash sees
// either the old content or the new one, never a mixture.
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>

// The most ReadWholeFile takes: settings files are a few hundred bytes.
constexpr uintmax_t kMaxReadFileSize = 16u << 20;

// A file that is there but that readers refuse whole: not a regular file, or
// larger than kMaxReadFileSize. Reading it again cannot succeed, unlike a
// read that failed for want of a permission or on a disk error.
class FileRefusedError : public std::system_error {
public:
    using std::system_error::system_error;
};

// The file's bytes, or nothing when it does not exist. Throws
// FileRefusedError when it is not a regular file (a directory, a FIFO, a
// device) or is larger than kMaxReadFileSize, and std::system_error when it
// cannot be read. A FIFO or a device is not even opened.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& File);

// Throws std::system_error (EFBIG) for content that ReadWholeFile would
// refuse: no writer leaves a file that its own readers cannot take back.
inline void RequireReadableContent(const std::string& Content, const std::filesystem::path& File)
{
    if (Content.size() > kMaxReadFileSize)
        throw std::system_error(EFBIG, std::generic_category(),
                                "The new content (" + std::to_string(Content.size()) +
                                    " bytes) is larger than a reader takes (" + std::to_string(kMaxReadFileSize) +
                                    " bytes); kept the old " + File.string());
}

// What UpdateFileAtomically does with a file that readers refuse: given the
// refusal, it may move the file aside (the update then goes on as for a
// missing file) or throw.
using RefusedFileHandler = std::function<void(const FileRefusedError& Refusal)>;

// Read-modify-write of File under an exclusive lock on LockFile (flock, so a
// writer killed in between releases it): Update gets the current content
// (nothing when the file does not exist) and returns the new one, which is
// written to a temporary file beside File, flushed to the disk and renamed
// over File. Update runs while the lock is held, so it may also move File
// aside. Every writer of File must use the same LockFile, which is a file
// of its own (created when missing) or a directory (locked as it is). A
// File that readers refuse goes to OnRefused, under the lock; without one
// the update fails. New content that readers would refuse is not written.
// Throws std::system_error on any platform failure; File is then unchanged.
void UpdateFileAtomically(const std::filesystem::path& File, const std::filesystem::path& LockFile,
                          const std::function<std::string(const std::optional<std::string>&)>& Update,
                          const RefusedFileHandler& OnRefused = {});

// Renames File to "<File><Suffix>", or "<File><Suffix>-N" when that name is
// taken, so that nothing is lost. Returns the new name.
std::filesystem::path MoveFileAside(const std::filesystem::path& File, const std::string& Suffix);
