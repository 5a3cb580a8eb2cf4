#pragma once
// TRegistry: the Windows registry as this program needs it, on the system's
// own registry. Texts are stored as REG_SZ and numbers as REG_DWORD, the
// kinds the REGEDIT4 file of other platforms holds, so that a key exported
// on one platform imports on the other. Writes reach the registry at once.
//
// Failures are ERegistryException.
#include <cstdint>
#include <string>

#include <velt/comport/framework/Exception.h>

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

enum THKey : uint32_t { kHkeyCurrentUser = 0x80000001u, kHkeyLocalMachine = 0x80000002u };

class TRegistry {
public:
    // Root kHkeyCurrentUser, full access, no key open.
    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    THKey RootKey() const { return FRootKey; }
    // A different root closes the open key first.
    void SetRootKey(THKey Value);

    // Opens Key below the open key, or below the root when none is open or
    // Key starts with a backslash; with CanCreate a missing key is created.
    // Returns false when the key is missing and may not be created, cannot
    // be opened, or the path is not a valid key path.
    bool OpenKey(const std::string& Key, bool CanCreate);
    void CloseKey();
    // Makes the open key's values durable now.
    void Flush();

    bool HasCurrentKey() const { return FCurrentKey != nullptr; }
    // The open key's path below the root ("" when none is open).
    const std::string& CurrentPath() const { return FCurrentPath; }
    bool KeyExists(const std::string& Key);
    bool ValueExists(const std::string& Name) const;

    // Fail when no key is open, when the system refuses, and for a text with
    // a zero byte, which a REG_SZ value cannot hold.
    void WriteString(const std::string& Name, const std::string& Value);
    void WriteInteger(const std::string& Name, int32_t Value);
    // A missing value, or no open key, reads as ""; a value of another kind fails.
    std::string ReadString(const std::string& Name) const;
    // A missing value, or one that is not a 32-bit number, fails.
    int32_t ReadInteger(const std::string& Name) const;

private:
    std::string ResolvePath(const std::string& Key) const;

    THKey FRootKey = kHkeyCurrentUser;
    void* FCurrentKey = nullptr; // the open HKEY
    std::string FCurrentPath;
};
