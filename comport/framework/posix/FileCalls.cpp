// The whole-file steps' system calls on POSIX systems: descriptors, flock
// for the lock (a writer killed while holding it releases it), fsync before
// the rename and on the directory after it.
#include "AtomicFile.h"
#include "FileCalls.h"
#include "UniqueFd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

struct filecalls::OpenObject {
    platform::UniqueFd Fd;
};

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

filecalls::Opened Owning(int Fd)
{
    filecalls::Opened object(new filecalls::OpenObject);
    object->Fd.Reset(Fd);
    return object;
}

} // namespace

void filecalls::Closer::operator()(OpenObject* Object) const { delete Object; }

filecalls::Opened filecalls::LockExclusively(const std::filesystem::path& LockFile)
{
    const bool lockDirectory = std::filesystem::is_directory(LockFile);
    Opened lock = Owning(lockDirectory ? ::open(LockFile.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                       : ::open(LockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lock->Fd.Valid())
        ThrowErrno("Cannot open", LockFile);
    while (flock(lock->Fd.Get(), LOCK_EX) != 0)
        if (errno != EINTR)
            ThrowErrno("Cannot lock", LockFile);
    return lock;
}

filecalls::Opened filecalls::OpenForReading(const std::filesystem::path& File)
{
    // Looked at before it is opened: opening a FIFO blocks, and opening a
    // device can act on it. The check after the open catches a swap between.
    struct stat info {};
    if (::stat(File.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return nullptr;
        ThrowErrno("Cannot open", File);
    }
    RequireReadableSize(info, File);
    Opened file = Owning(::open(File.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!file->Fd.Valid())
        ThrowErrno("Cannot open", File);
    if (::fstat(file->Fd.Get(), &info) != 0)
        ThrowErrno("Cannot read", File);
    RequireReadableSize(info, File);
    return file;
}

size_t filecalls::ReadSome(OpenObject& File, char* Buffer, size_t Size, const std::filesystem::path& Shown)
{
    for (;;) {
        const ssize_t n = ::read(File.Fd.Get(), Buffer, Size);
        if (n >= 0)
            return static_cast<size_t>(n);
        if (errno != EINTR)
            ThrowErrno("Cannot read", Shown);
    }
}

filecalls::Opened filecalls::CreateNew(const std::filesystem::path& Path, const std::filesystem::path& Shown)
{
    Opened file = Owning(::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file->Fd.Valid())
        return file;
    if (errno == EEXIST)
        return nullptr;
    ThrowErrno("Cannot create", Shown);
}

void filecalls::WriteAll(OpenObject& File, const std::string& Bytes, const std::filesystem::path& Shown)
{
    size_t done = 0;
    while (done < Bytes.size()) {
        const ssize_t n = ::write(File.Fd.Get(), Bytes.data() + done, Bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ThrowErrno("Cannot write", Shown);
        done += static_cast<size_t>(n);
    }
}

// A new file without a model keeps what an ordinary file creation gives
// (0666 less the umask).
void filecalls::CopyPermissions(OpenObject& File, const std::filesystem::path& Like, const std::filesystem::path& Shown)
{
    struct stat info {};
    if (::stat(Like.c_str(), &info) != 0)
        return;
    if (fchmod(File.Fd.Get(), info.st_mode & 07777) != 0)
        ThrowErrno("Cannot set the permissions of", Shown);
}

void filecalls::Finish(Opened& File, const std::filesystem::path& Shown)
{
    if (fsync(File->Fd.Get()) != 0 || ::close(File->Fd.Release()) != 0)
        ThrowErrno("Cannot finish", Shown);
    File.reset();
}

void filecalls::Replace(const std::filesystem::path& From, const std::filesystem::path& To)
{
    if (std::rename(From.c_str(), To.c_str()) != 0)
        ThrowErrno("Cannot replace", To);
}

void filecalls::MoveAside(const std::filesystem::path& From, const std::filesystem::path& To)
{
    if (std::rename(From.c_str(), To.c_str()) != 0)
        ThrowErrno("Cannot move aside", From);
}

void filecalls::Remove(const std::filesystem::path& Path) noexcept { ::unlink(Path.c_str()); }

void filecalls::SyncDirectory(const std::filesystem::path& Directory) noexcept
{
    const platform::UniqueFd fd(
        ::open(Directory.empty() ? "." : Directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid())
        fsync(fd.Get());
}

unsigned long filecalls::ProcessNumber() { return static_cast<unsigned long>(::getpid()); }
