#include "AtomicFile.h"

#include <velt/comport/framework/FileWrite.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace {

[[noreturn]] void ThrowErrno(const std::string& What, const std::filesystem::path& Path)
{
    throw std::system_error(errno, std::generic_category(), What + " " + Path.string());
}

[[noreturn]] void ThrowRefused(int Error, const std::string& What, const std::filesystem::path& Path)
{
    throw FileRefusedError(Error, std::generic_category(), What + " " + Path.string());
}

// Only a regular file of a sane size is read whole.
void RequireReadableSize(const struct stat& Info, const std::filesystem::path& Path)
{
    if (S_ISDIR(Info.st_mode))
        ThrowRefused(EISDIR, "Not a file:", Path);
    if (!S_ISREG(Info.st_mode))
        ThrowRefused(EINVAL, "Not a regular file:", Path);
    if (static_cast<uintmax_t>(Info.st_size) > kMaxReadFileSize)
        ThrowRefused(EFBIG, "Too large:", Path);
}

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

// A descriptor closed on every path.
class FileDescriptor {
public:
    explicit FileDescriptor(int Fd) : FFd(Fd) {}
    ~FileDescriptor()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& Other) noexcept : FFd(Other.FFd) { Other.FFd = -1; }
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return FFd; }
    // Closes now, so that a failing close (a delayed write error) is seen.
    int Close()
    {
        const int result = ::close(FFd);
        FFd = -1;
        return result;
    }

private:
    int FFd;
};

void WriteAll(int Fd, const std::string& Bytes, const std::filesystem::path& Path)
{
    size_t done = 0;
    while (done < Bytes.size()) {
        const ssize_t n = ::write(Fd, Bytes.data() + done, Bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ThrowErrno("Cannot write", Path);
        done += static_cast<size_t>(n);
    }
}

void LockExclusive(int Fd, const std::filesystem::path& Path)
{
    while (flock(Fd, LOCK_EX) != 0)
        if (errno != EINTR)
            ThrowErrno("Cannot lock", Path);
}

// A replaced file keeps its permissions; a new one gets those an ordinary
// file creation gives (0666 less the umask).
std::optional<mode_t> ExistingMode(const std::filesystem::path& File)
{
    struct stat info {};
    if (stat(File.c_str(), &info) != 0)
        return std::nullopt;
    return info.st_mode & 07777;
}

// Writes Content into the new file Fd, gives it Mode and flushes it to the
// disk. Failures name Shown.
void FillNewFile(FileDescriptor& Fd, const std::string& Content, std::optional<mode_t> Mode,
                 const std::filesystem::path& Shown)
{
    WriteAll(Fd.Get(), Content, Shown);
    if (Mode && fchmod(Fd.Get(), *Mode) != 0)
        ThrowErrno("Cannot set the permissions of", Shown);
    if (fsync(Fd.Get()) != 0 || Fd.Close() != 0)
        ThrowErrno("Cannot finish", Shown);
}

void WriteTemporary(const std::filesystem::path& Temp, const std::string& Content, std::optional<mode_t> Mode)
{
    ::unlink(Temp.c_str());
    FileDescriptor fd(::open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.Get() < 0)
        ThrowErrno("Cannot create", Temp);
    FillNewFile(fd, Content, Mode, Temp);
}

// Renames Temp over File; Temp is removed when that fails.
void MoveOver(const std::filesystem::path& Temp, const std::filesystem::path& File)
{
    if (std::rename(Temp.c_str(), File.c_str()) != 0) {
        const int error = errno;
        ::unlink(Temp.c_str());
        errno = error;
        ThrowErrno("Cannot replace", File);
    }
}

// A temporary name beside File that no other file has: created here, open.
// A file of the user's that happens to have a temporary-looking name is
// never touched.
FileDescriptor CreateFreshTemporary(const std::filesystem::path& File, std::filesystem::path& Temp)
{
    for (int attempt = 0;; ++attempt) {
        Temp = File;
        Temp += ".velt-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        FileDescriptor fd(::open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.Get() >= 0)
            return fd;
        if (errno != EEXIST || attempt >= 100)
            ThrowErrno("Cannot write", File);
    }
}

// Makes the rename itself durable.
void SyncDirectory(const std::filesystem::path& Directory)
{
    FileDescriptor fd(::open(Directory.empty() ? "." : Directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0)
        fsync(fd.Get());
}

} // namespace

std::optional<std::string> ReadWholeFile(const std::filesystem::path& File)
{
    // Looked at before it is opened: opening a FIFO blocks, and opening a
    // device can act on it. The check after the open catches a swap between.
    struct stat info {};
    if (::stat(File.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        ThrowErrno("Cannot open", File);
    }
    RequireReadableSize(info, File);
    FileDescriptor fd(::open(File.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0)
        ThrowErrno("Cannot open", File);
    if (::fstat(fd.Get(), &info) != 0)
        ThrowErrno("Cannot read", File);
    RequireReadableSize(info, File);
    std::string content;
    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ThrowErrno("Cannot read", File);
        if (n == 0)
            return content;
        content.append(chunk, static_cast<size_t>(n));
        if (content.size() > kMaxReadFileSize) // it grew while being read
            ThrowRefused(EFBIG, "Too large:", File);
    }
}

void UpdateFileAtomically(const std::filesystem::path& File, const std::filesystem::path& LockFile,
                          const std::function<std::string(const std::optional<std::string>&)>& Update,
                          const RefusedFileHandler& OnRefused)
{
    const bool lockDirectory = std::filesystem::is_directory(LockFile);
    FileDescriptor lock(lockDirectory ? ::open(LockFile.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                      : ::open(LockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (lock.Get() < 0)
        ThrowErrno("Cannot open", LockFile);
    LockExclusive(lock.Get(), LockFile);
    const std::string content = Update(ReadForUpdate(File, OnRefused));
    RequireReadableContent(content, File);
    // One temporary name is enough: only the lock holder writes it, and what
    // a writer killed earlier left there is simply overwritten.
    std::filesystem::path temp = File;
    temp += ".tmp";
    try {
        WriteTemporary(temp, content, ExistingMode(File));
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    MoveOver(temp, File);
    SyncDirectory(File.parent_path());
}

void WriteFileAtomically(const std::filesystem::path& File, const std::string& Bytes)
{
    std::filesystem::path temp;
    FileDescriptor fd = CreateFreshTemporary(File, temp);
    try {
        FillNewFile(fd, Bytes, ExistingMode(File), File);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    MoveOver(temp, File);
    SyncDirectory(File.parent_path());
}

std::filesystem::path MoveFileAside(const std::filesystem::path& File, const std::string& Suffix)
{
    std::filesystem::path target = File;
    target += Suffix;
    for (int n = 1; std::filesystem::exists(target); ++n) {
        target = File;
        target += Suffix + "-" + std::to_string(n);
    }
    if (std::rename(File.c_str(), target.c_str()) != 0)
        ThrowErrno("Cannot move aside", File);
    return target;
}
