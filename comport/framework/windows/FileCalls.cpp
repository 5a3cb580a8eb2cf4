// The whole-file steps' system calls on Windows: file handles, and for the
// lock a named mutex derived from the lock path, which a process that dies
// while holding it releases (the next owner sees it abandoned).
#include "FileCalls.h"
#include "PathText.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <system_error>

struct filecalls::OpenObject {
    platform::UniqueHandle Handle;
    bool HoldsMutex = false;
    ~OpenObject()
    {
        if (HoldsMutex)
            ReleaseMutex(Handle.Get());
    }
};

namespace {

[[noreturn]] void ThrowLastError(const std::string& What, const std::filesystem::path& Path)
{
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), What + " " + Utf8FromPath(Path));
}

filecalls::Opened Owning(HANDLE Handle)
{
    filecalls::Opened object(new filecalls::OpenObject);
    object->Handle.Reset(Handle);
    return object;
}

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

} // namespace

void filecalls::Closer::operator()(OpenObject* Object) const { delete Object; }

filecalls::Opened filecalls::LockExclusively(const std::filesystem::path& LockFile)
{
    Opened lock = Owning(CreateMutexW(nullptr, FALSE, LockName(LockFile).c_str()));
    if (!lock->Handle.Valid())
        ThrowLastError("Cannot lock", LockFile);
    const DWORD waited = WaitForSingleObject(lock->Handle.Get(), INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
        ThrowLastError("Cannot lock", LockFile);
    lock->HoldsMutex = true;
    return lock;
}

// The size limit is checked as the file is read.
filecalls::Opened filecalls::OpenForReading(const std::filesystem::path& File)
{
    Opened file = Owning(CreateFileW(File.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file->Handle.Valid())
        return file;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return nullptr;
    ThrowLastError("Cannot open", File);
}

size_t filecalls::ReadSome(OpenObject& File, char* Buffer, size_t Size, const std::filesystem::path& Shown)
{
    DWORD n = 0;
    if (!ReadFile(File.Handle.Get(), Buffer, static_cast<DWORD>(std::min<size_t>(Size, 1u << 30)), &n, nullptr))
        ThrowLastError("Cannot read", Shown);
    return n;
}

filecalls::Opened filecalls::CreateNew(const std::filesystem::path& Path, const std::filesystem::path& Shown)
{
    Opened file =
        Owning(CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file->Handle.Valid())
        return file;
    if (GetLastError() == ERROR_FILE_EXISTS)
        return nullptr;
    ThrowLastError("Cannot create", Shown);
}

void filecalls::WriteAll(OpenObject& File, const std::string& Bytes, const std::filesystem::path& Shown)
{
    size_t done = 0;
    while (done < Bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(Bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(File.Handle.Get(), Bytes.data() + done, chunk, &written, nullptr))
            ThrowLastError("Cannot write", Shown);
        done += written;
    }
}

// A new file takes its permissions from the folder it is in.
void filecalls::CopyPermissions(OpenObject&, const std::filesystem::path&, const std::filesystem::path&) {}

void filecalls::Finish(Opened& File, const std::filesystem::path& Shown)
{
    if (!FlushFileBuffers(File->Handle.Get()))
        ThrowLastError("Cannot finish", Shown);
    File.reset(); // closed: an open file can be neither deleted nor moved
}

void filecalls::Replace(const std::filesystem::path& From, const std::filesystem::path& To)
{
    if (!MoveFileExW(From.c_str(), To.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ThrowLastError("Cannot replace", To);
}

void filecalls::MoveAside(const std::filesystem::path& From, const std::filesystem::path& To)
{
    if (!MoveFileExW(From.c_str(), To.c_str(), MOVEFILE_WRITE_THROUGH))
        ThrowLastError("Cannot move aside", From);
}

void filecalls::Remove(const std::filesystem::path& Path) noexcept { DeleteFileW(Path.c_str()); }

// MOVEFILE_WRITE_THROUGH has made the move durable already.
void filecalls::SyncDirectory(const std::filesystem::path&) noexcept {}

unsigned long filecalls::ProcessNumber() { return GetCurrentProcessId(); }
