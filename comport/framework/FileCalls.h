#pragma once
// The system calls beneath the whole-file steps of AtomicFile.cpp: one small
// body per system (posix/FileCalls.cpp, windows/FileCalls.cpp), so that the
// steps and their order are written once. Failures throw std::system_error
// with the system's reason, naming the path given as Shown (or the one
// acted on).
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

namespace filecalls {

// What a body holds open: a descriptor or a handle, and for a lock what
// frees it. Closed (the lock freed) when its owner goes.
struct OpenObject;
struct Closer {
    void operator()(OpenObject* Object) const;
};
using Opened = std::unique_ptr<OpenObject, Closer>;

// Waits for the exclusive lock of LockFile, a file of its own (created when
// missing) or a directory. Held until the result goes; a process that dies
// holding it releases it.
Opened LockExclusively(const std::filesystem::path& LockFile);

// File opened for reading; nothing when it does not exist. Throws
// FileRefusedError for what readers refuse, where the system tells it
// before the open (a FIFO or a device is not even opened).
Opened OpenForReading(const std::filesystem::path& File);
// Up to Size bytes into Buffer; 0 at the end of the file.
size_t ReadSome(OpenObject& File, char* Buffer, size_t Size, const std::filesystem::path& Shown);

// Creates Path for writing, only when no file has that name; nothing when
// one has.
Opened CreateNew(const std::filesystem::path& Path, const std::filesystem::path& Shown);
void WriteAll(OpenObject& File, const std::string& Bytes, const std::filesystem::path& Shown);
// Gives File the permissions Like has, where the system keeps them and Like
// exists (a replaced file keeps its permissions).
void CopyPermissions(OpenObject& File, const std::filesystem::path& Like, const std::filesystem::path& Shown);
// Flushes File to the disk and closes it, so that a failing close (a
// delayed write error) is seen.
void Finish(Opened& File, const std::filesystem::path& Shown);

// Moves From over To in one step.
void Replace(const std::filesystem::path& From, const std::filesystem::path& To);
// Renames From to To, which is free.
void MoveAside(const std::filesystem::path& From, const std::filesystem::path& To);
// Removes Path when it is there; failures are ignored.
void Remove(const std::filesystem::path& Path) noexcept;
// Makes a rename in Directory durable where the system needs it to.
void SyncDirectory(const std::filesystem::path& Directory) noexcept;
// This process's number, for temporary names no other process picks.
unsigned long ProcessNumber();

} // namespace filecalls
