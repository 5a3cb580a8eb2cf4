// Whole-file reading and atomic replacement on Windows: a temporary file
// beside the target, flushed to the disk, moved over the target in one step.
// The lock is a named mutex derived from the lock path, which a process that
// dies while holding it releases (the next owner sees it abandoned).
#include "AtomicFile.h"
#include "PathText.h"

#include <velt/comport/framework/FileWrite.h>

#include <windows.h>

#include <cstdint>
#include <cwctype>
#include <exception>
#include <system_error>

namespace {

[[noreturn]] void ThrowLastError(const std::string& What, const std::filesystem::path& Path)
{
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), What + " " + Utf8FromPath(Path));
}

// A handle closed on every path.
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE Handle) : FHandle(Handle) {}
    ~ScopedHandle()
    {
        if (Valid())
            CloseHandle(FHandle);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    HANDLE Get() const { return FHandle; }
    bool Valid() const { return FHandle != nullptr && FHandle != INVALID_HANDLE_VALUE; }

private:
    HANDLE FHandle;
};

// The mutex name of a lock path: the same for every spelling of the path
// that the file system treats as the same (letter case, relative or not).
std::wstring LockName(const std::filesystem::path& LockFile)
{
    std::wstring path = std::filesystem::absolute(LockFile).lexically_normal().wstring();
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (wchar_t c : path) {
        hash ^= static_cast<uint64_t>(std::towupper(c));
        hash *= 1099511628211ull;
    }
    wchar_t digits[17];
    swprintf(digits, 17, L"%016llx", static_cast<unsigned long long>(hash));
    return std::wstring(L"Local\\velt-file-lock-") + digits;
}

class FileLock {
public:
    explicit FileLock(const std::filesystem::path& LockFile)
        : FMutex(CreateMutexW(nullptr, FALSE, LockName(LockFile).c_str()))
    {
        if (!FMutex.Valid())
            ThrowLastError("Cannot lock", LockFile);
        const DWORD waited = WaitForSingleObject(FMutex.Get(), INFINITE);
        if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
            ThrowLastError("Cannot lock", LockFile);
    }
    ~FileLock() { ReleaseMutex(FMutex.Get()); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    ScopedHandle FMutex;
};

void WriteAll(HANDLE File, const std::string& Bytes, const std::filesystem::path& Path)
{
    size_t done = 0;
    while (done < Bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(Bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(File, Bytes.data() + done, chunk, &written, nullptr))
            ThrowLastError("Cannot write", Path);
        done += written;
    }
}

// Writes Content into the new file File and flushes it to the disk.
// Failures name Shown.
void FillNewFile(HANDLE File, const std::string& Content, const std::filesystem::path& Shown)
{
    WriteAll(File, Content, Shown);
    if (!FlushFileBuffers(File))
        ThrowLastError("Cannot finish", Shown);
}

void WriteTemporary(const std::filesystem::path& Temp, const std::string& Content)
{
    DeleteFileW(Temp.c_str());
    ScopedHandle file(CreateFileW(Temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        ThrowLastError("Cannot create", Temp);
    FillNewFile(file.Get(), Content, Temp);
}

// Moves Temp over File in one step; Temp is removed when that fails.
void MoveOver(const std::filesystem::path& Temp, const std::filesystem::path& File)
{
    if (!MoveFileExW(Temp.c_str(), File.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(Temp.c_str());
        SetLastError(error);
        ThrowLastError("Cannot replace", File);
    }
}

// A temporary name beside File that no other file has, created here: a file
// of the user's that happens to have a temporary-looking name is never
// touched.
HANDLE CreateFreshTemporary(const std::filesystem::path& File, std::filesystem::path& Temp)
{
    for (int attempt = 0;; ++attempt) {
        Temp = File;
        Temp += L".velt-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt) + L".tmp";
        HANDLE file = CreateFileW(Temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        if (GetLastError() != ERROR_FILE_EXISTS || attempt >= 100)
            ThrowLastError("Cannot write", File);
    }
}

} // namespace

std::optional<std::string> ReadWholeFile(const std::filesystem::path& File)
{
    ScopedHandle file(CreateFileW(File.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return std::nullopt;
        ThrowLastError("Cannot open", File);
    }
    std::string content;
    char chunk[8192];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file.Get(), chunk, sizeof chunk, &n, nullptr))
            ThrowLastError("Cannot read", File);
        if (n == 0)
            return content;
        content.append(chunk, n);
    }
}

void UpdateFileAtomically(const std::filesystem::path& File, const std::filesystem::path& LockFile,
                          const std::function<std::string(const std::optional<std::string>&)>& Update,
                          const RefusedFileHandler&)
{
    // Files are read here without refusal: OnRefused has nothing to handle.
    FileLock lock(LockFile);
    const std::string content = Update(ReadWholeFile(File));
    RequireReadableContent(content, File);
    // One temporary name is enough: only the lock holder writes it.
    std::filesystem::path temp = File;
    temp += ".tmp";
    try {
        WriteTemporary(temp, content);
    } catch (...) {
        DeleteFileW(temp.c_str());
        throw;
    }
    MoveOver(temp, File);
}

void WriteFileAtomically(const std::filesystem::path& File, const std::string& Bytes)
{
    std::filesystem::path temp;
    std::exception_ptr failure;
    {
        ScopedHandle file(CreateFreshTemporary(File, temp));
        try {
            FillNewFile(file.Get(), Bytes, File);
        } catch (...) {
            failure = std::current_exception();
        }
    } // closed here: an open file can be neither deleted nor moved
    if (failure) {
        DeleteFileW(temp.c_str());
        std::rethrow_exception(failure);
    }
    MoveOver(temp, File);
}

std::filesystem::path MoveFileAside(const std::filesystem::path& File, const std::string& Suffix)
{
    std::filesystem::path target = File;
    target += Suffix;
    for (int n = 1; std::filesystem::exists(target); ++n) {
        target = File;
        target += Suffix + "-" + std::to_string(n);
    }
    if (!MoveFileExW(File.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
        ThrowLastError("Cannot move aside", File);
    return target;
}
