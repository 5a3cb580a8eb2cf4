// Whole-file reading and atomic replacement: a temporary file beside the
// target, flushed to the disk, moved over the target in one step. The
// system calls beneath are FileCalls.h's.
#include "AtomicFile.h"
#include "FileCalls.h"
#include "PathText.h"

#include <velt/comport/framework/FileWrite.h>

#include <system_error>

namespace {

// The current content for an update: a refused file goes to OnRefused,
// which may move it out of the way.
std::optional<std::string> ReadForUpdate(const std::filesystem::path& File, const RefusedFileHandler& OnRefused)
{
    try {
        return ReadWholeFile(File);
    } catch (const FileRefusedError& refusal) {
        if (!OnRefused)
            throw;
        OnRefused(refusal);
    }
    return ReadWholeFile(File);
}

// A temporary name beside File that no other file has, created here: a file
// of the user's that happens to have a temporary-looking name is never
// touched.
filecalls::Opened CreateFreshTemporary(const std::filesystem::path& File, std::filesystem::path& Temp)
{
    for (int attempt = 0;; ++attempt) {
        Temp = File;
        Temp += ".velt-" + std::to_string(filecalls::ProcessNumber()) + "-" + std::to_string(attempt) + ".tmp";
        if (filecalls::Opened file = filecalls::CreateNew(Temp, File))
            return file;
        if (attempt >= 100)
            throw std::system_error(std::make_error_code(std::errc::file_exists), "Cannot write " + Utf8FromPath(File));
    }
}

// Fills the new file Temp with Content and moves it over File. Temp is gone
// when any step fails; failures name Shown.
void ReplaceWithNewFile(filecalls::Opened Temp, const std::filesystem::path& TempPath, const std::string& Content,
                        const std::filesystem::path& File, const std::filesystem::path& Shown)
{
    try {
        filecalls::WriteAll(*Temp, Content, Shown);
        filecalls::CopyPermissions(*Temp, File, Shown);
        filecalls::Finish(Temp, Shown);
        filecalls::Replace(TempPath, File);
    } catch (...) {
        Temp.reset(); // an open file cannot be removed everywhere
        filecalls::Remove(TempPath);
        throw;
    }
    filecalls::SyncDirectory(File.parent_path());
}

} // namespace

std::optional<std::string> ReadWholeFile(const std::filesystem::path& File)
{
    const filecalls::Opened file = filecalls::OpenForReading(File);
    if (!file)
        return std::nullopt;
    std::string content;
    char chunk[8192];
    while (const size_t n = filecalls::ReadSome(*file, chunk, sizeof chunk, File)) {
        content.append(chunk, n);
        if (content.size() > kMaxReadFileSize) // it grew while being read, or its size was not known
            throw FileRefusedError(EFBIG, std::generic_category(), "Too large: " + Utf8FromPath(File));
    }
    return content;
}

void UpdateFileAtomically(const std::filesystem::path& File, const std::filesystem::path& LockFile,
                          const std::function<std::string(const std::optional<std::string>&)>& Update,
                          const RefusedFileHandler& OnRefused)
{
    const filecalls::Opened lock = filecalls::LockExclusively(LockFile);
    const std::string content = Update(ReadForUpdate(File, OnRefused));
    RequireReadableContent(content, File);
    // One temporary name is enough: only the lock holder writes it, and what
    // a writer killed earlier left there is removed first.
    std::filesystem::path temp = File;
    temp += ".tmp";
    filecalls::Remove(temp);
    filecalls::Opened file = filecalls::CreateNew(temp, temp);
    if (!file)
        throw std::system_error(std::make_error_code(std::errc::file_exists), "Cannot create " + Utf8FromPath(temp));
    ReplaceWithNewFile(std::move(file), temp, content, File, temp);
}

void WriteFileAtomically(const std::filesystem::path& File, const std::string& Bytes)
{
    std::filesystem::path temp;
    filecalls::Opened file = CreateFreshTemporary(File, temp);
    ReplaceWithNewFile(std::move(file), temp, Bytes, File, File);
}

std::filesystem::path MoveFileAside(const std::filesystem::path& File, const std::string& Suffix)
{
    std::filesystem::path target = File;
    target += Suffix;
    for (int n = 1; std::filesystem::exists(target); ++n) {
        target = File;
        target += Suffix + "-" + std::to_string(n);
    }
    filecalls::MoveAside(File, target);
    return target;
}
