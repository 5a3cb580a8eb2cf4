#pragma once
// TRegistry: the Windows registry as this program needs it, on every
// platform: on Windows the system's own registry, elsewhere one per-user text
// file in the REGEDIT4 format. The rules every platform shares live here: a
// key path is refused when it is empty, has an empty part ("a\\b") or holds a
// control character; a relative path is below the open key. What each
// platform does with a path is its backend's (RegistryBackend.h).
//
// Failures are ERegistryException. The destructor closes the key but cannot
// report: whoever must know that the writes arrived calls Flush() or
// CloseKey() first.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <velt/comport/framework/Exception.h>

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

enum THKey : uint32_t { kHkeyCurrentUser = 0x80000001u, kHkeyLocalMachine = 0x80000002u };

class RegistryBackend;

class TRegistry {
public:
    // Root kHkeyCurrentUser, full access, no key open.
    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    THKey RootKey() const;
    // A different root closes the open key first.
    void SetRootKey(THKey Value);

    // Opens Key below the open key, or below the root when none is open or
    // Key starts with a backslash; with CanCreate a missing key is created.
    // Returns false when the key is missing and may not be created, cannot
    // be opened, or the path is not a valid key path.
    bool OpenKey(const std::string& Key, bool CanCreate);
    // Writes what is pending, then closes the key, also when the write fails.
    void CloseKey();
    // Makes what was written to the open key durable now.
    void Flush();

    bool HasCurrentKey() const;
    // The open key's path below the root ("" when none is open).
    const std::string& CurrentPath() const;
    bool KeyExists(const std::string& Key);
    bool ValueExists(const std::string& Name) const;

    // Fail when no key is open, when the store refuses, and for a text the
    // store cannot hold (a zero byte; in the file also a line end).
    void WriteString(const std::string& Name, const std::string& Value);
    void WriteInteger(const std::string& Name, int32_t Value);
    // A missing value, or no open key, reads as ""; a value of another kind
    // fails, and so does a text that WriteString would refuse.
    std::string ReadString(const std::string& Name) const;
    // A missing value, or one that is not a 32-bit number, fails.
    int32_t ReadInteger(const std::string& Name) const;

private:
    std::optional<std::string> ResolvePath(const std::string& Key) const;

    std::unique_ptr<RegistryBackend> FBackend;
};
