#include "RegistrySnapshot.h"

#include <sys/stat.h>

#include <mutex>
#include <optional>
#include <string>
#include <tuple>

#include "AtomicFile.h"

namespace {

// What tells one state of a file from another. Every save replaces the file
// (a new inode), and any change in place moves its change time, which no
// program can set back.
struct FileState {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    timespec Changed{};
    timespec Modified{};

    bool operator==(const FileState& Other) const
    {
        return std::tie(Device, Inode, Size, Changed.tv_sec, Changed.tv_nsec, Modified.tv_sec, Modified.tv_nsec) ==
               std::tie(Other.Device, Other.Inode, Other.Size, Other.Changed.tv_sec, Other.Changed.tv_nsec,
                        Other.Modified.tv_sec, Other.Modified.tv_nsec);
    }
};

std::optional<FileState> StateOf(const std::filesystem::path& File)
{
    struct stat info {};
    if (stat(File.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileState{info.st_dev, info.st_ino, info.st_size, info.st_ctim, info.st_mtim};
}

struct CachedSnapshot {
    std::filesystem::path File;
    FileState State;
    std::shared_ptr<const regfile::Document> Document;
};

std::mutex& CacheLock()
{
    static std::mutex lock;
    return lock;
}

std::optional<CachedSnapshot>& Cache()
{
    static std::optional<CachedSnapshot> cache;
    return cache;
}

std::shared_ptr<const regfile::Document> Cached(const std::filesystem::path& File, const FileState& State)
{
    const std::lock_guard guard(CacheLock());
    const auto& cache = Cache();
    return cache && cache->File == File && cache->State == State ? cache->Document : nullptr;
}

void Remember(const std::filesystem::path& File, const FileState& State,
              std::shared_ptr<const regfile::Document> Document)
{
    const std::lock_guard guard(CacheLock());
    Cache() = CachedSnapshot{File, State, std::move(Document)};
}

} // namespace

std::shared_ptr<const regfile::Document> ReadRegistrySnapshot(const std::filesystem::path& File)
{
    const std::optional<FileState> before = StateOf(File);
    if (before)
        if (auto document = Cached(File, *before))
            return document;
    const std::optional<std::string> content = ReadWholeFile(File);
    if (!content)
        return std::make_shared<const regfile::Document>();
    std::optional<regfile::Document> parsed = regfile::Parse(*content);
    if (!parsed)
        return nullptr;
    auto document = std::make_shared<const regfile::Document>(std::move(*parsed));
    // Kept only when the file did not change while it was read, so that the
    // state kept is the state of what was parsed.
    if (before && StateOf(File) == before)
        Remember(File, *before, document);
    return document;
}
