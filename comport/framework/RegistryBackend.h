#pragma once
// What TRegistry stands on: the registry of this platform. TRegistry hands
// it key paths below the root that it has already checked and made whole.
#include <cstdint>
#include <memory>
#include <string>

#include "Registry.h"

class RegistryBackend {
public:
    RegistryBackend() = default;
    virtual ~RegistryBackend() = default;
    RegistryBackend(const RegistryBackend&) = delete;
    RegistryBackend& operator=(const RegistryBackend&) = delete;

    virtual THKey RootKey() const = 0;
    virtual void SetRootKey(THKey Value) = 0;
    virtual bool OpenKey(const std::string& Path, bool CanCreate) = 0;
    virtual void CloseKey() = 0;
    virtual void Flush() = 0;
    virtual bool HasCurrentKey() const = 0;
    virtual const std::string& CurrentPath() const = 0;
    virtual bool KeyExists(const std::string& Path) = 0;
    virtual bool ValueExists(const std::string& Name) const = 0;
    virtual void WriteString(const std::string& Name, const std::string& Value) = 0;
    virtual void WriteInteger(const std::string& Name, int32_t Value) = 0;
    virtual std::string ReadString(const std::string& Name) const = 0;
    virtual int32_t ReadInteger(const std::string& Name) const = 0;
};

// The registry of this platform (posix/FileRegistry.cpp, windows/SystemRegistry.cpp).
std::unique_ptr<RegistryBackend> NewRegistryBackend();
