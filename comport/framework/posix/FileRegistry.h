#pragma once
// The registry behind TRegistry on POSIX systems, kept in
// one per-user text file in the REGEDIT4 format
// (${XDG_CONFIG_HOME:-$HOME/.config}/velt/registry.reg) that holds both roots.
//
// Reads see the file as it was when the key was opened (read once while it
// stays unchanged: RegistrySnapshot.h). Writes to the open
// key are collected and reach the file together, at Flush() or CloseKey(),
// in one locked read-modify-write that replaces the file atomically: another
// process saving at the same time keeps its own keys, and a save killed
// half-way leaves the old file or the new one. A file that cannot be parsed,
// or that readers refuse (not a regular file, larger than they take), makes
// every read fail; the next write moves it aside
// (registry.reg.corrupt-<time>, registry.reg.refused-<time>) instead of
// overwriting it, and tells the user where through the exception report. A
// write never leaves a file that the readers would refuse: a file that reads
// but would pass their bounds with the new values goes aside as refused and
// the values start a file anew; values that alone pass them fail, and the
// old file stays.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "RegistryBackend.h"
#include "RegistryFile.h"

class FileRegistry : public RegistryBackend {
public:
    // Root kHkeyCurrentUser, no key open.
    ~FileRegistry() override;

    THKey RootKey() const override { return FRootKey; }
    // A different root closes the open key first.
    void SetRootKey(THKey Value) override;

    // Opens the key at Path (below the root); with CanCreate a missing key
    // is created (on the disk at the next flush). Returns false when the key
    // is missing and may not be created.
    bool OpenKey(const std::string& Path, bool CanCreate) override;
    // Writes what is pending, then closes the key, also when the write fails.
    void CloseKey() override;
    // Writes what is pending for the open key to the file.
    void Flush() override;

    bool HasCurrentKey() const override { return !FCurrentPath.empty(); }
    // The open key's path below the root ("" when none is open).
    const std::string& CurrentPath() const override { return FCurrentPath; }
    bool KeyExists(const std::string& Path) override;
    bool ValueExists(const std::string& Name) const override;

    // Fail when no key is open, and for a text with a line end or a zero
    // byte, which one line of the file cannot hold.
    void WriteString(const std::string& Name, const std::string& Value) override;
    void WriteInteger(const std::string& Name, int32_t Value) override;
    // A missing value, or no open key, reads as ""; a value of another kind
    // fails, and so does a text that WriteString would refuse.
    std::string ReadString(const std::string& Name) const override;
    // A missing value, or one that is not a 32-bit number, fails.
    int32_t ReadInteger(const std::string& Name) const override;

    // Where the registry lives.
    static std::filesystem::path FilePath();

private:
    std::string RootWord() const;
    std::string FullPath(const std::string& Path) const;
    void LoadSnapshot();
    void ThrowIfUnreadable() const;
    std::optional<regfile::Value> FindCurrent(const std::string& Name) const;
    void Stage(regfile::Value Value);
    std::string WithPending(regfile::Document Doc) const;
    std::string ApplyPending(const std::optional<std::string>& Content,
                             const std::function<void(const std::string&, const std::string&)>& MoveAside) const;
    void ForgetCurrentKey();

    THKey FRootKey = kHkeyCurrentUser;
    std::string FCurrentPath;
    bool FCreatePending = false;
    std::vector<regfile::Value> FPending;
    std::shared_ptr<const regfile::Document> FSnapshot = std::make_shared<const regfile::Document>();
    std::string FReadError; // why the file could not be read; "" when it could
};
