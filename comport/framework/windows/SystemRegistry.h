#pragma once
// The registry behind TRegistry on Windows: the system's own registry. Texts
// are stored as REG_SZ and numbers as REG_DWORD, the kinds the REGEDIT4 file
// of other platforms holds, so that a key exported on one platform imports
// on the other. Writes reach the registry at once.
#include <cstdint>
#include <string>

#include "RegistryBackend.h"

class SystemRegistry : public RegistryBackend {
public:
    // Root kHkeyCurrentUser, no key open.
    SystemRegistry() = default;
    ~SystemRegistry() override;
    SystemRegistry(const SystemRegistry&) = delete;
    SystemRegistry& operator=(const SystemRegistry&) = delete;

    THKey RootKey() const override { return FRootKey; }
    // A different root closes the open key first.
    void SetRootKey(THKey Value) override;

    // Opens the key at Path (below the root); with CanCreate a missing key is
    // created. Returns false when the key is missing and may not be created,
    // or cannot be opened.
    bool OpenKey(const std::string& Path, bool CanCreate) override;
    void CloseKey() override;
    // Makes the open key's values durable now.
    void Flush() override;

    bool HasCurrentKey() const override { return FCurrentKey != nullptr; }
    // The open key's path below the root ("" when none is open).
    const std::string& CurrentPath() const override { return FCurrentPath; }
    bool KeyExists(const std::string& Path) override;
    bool ValueExists(const std::string& Name) const override;

    // Fail when no key is open, when the system refuses, and for a text with
    // a zero byte, which a REG_SZ value cannot hold.
    void WriteString(const std::string& Name, const std::string& Value) override;
    void WriteInteger(const std::string& Name, int32_t Value) override;
    // A missing value, or no open key, reads as ""; a value of another kind fails.
    std::string ReadString(const std::string& Name) const override;
    // A missing value, or one that is not a 32-bit number, fails.
    int32_t ReadInteger(const std::string& Name) const override;

private:
    THKey FRootKey = kHkeyCurrentUser;
    void* FCurrentKey = nullptr; // the open HKEY
    std::string FCurrentPath;
};
