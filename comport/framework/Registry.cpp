// TRegistry: the key-path rules every platform shares, in front of this
// platform's backend.
#include "Registry.h"

#include "RegistryBackend.h"

namespace {

// A key path below the root without its outer backslashes, or nothing when
// it is empty, has an empty part ("a\\b") or holds a control character,
// which neither a REGEDIT4 key line nor a key name should carry.
std::optional<std::string> NormalizeKeyPath(std::string Path)
{
    if (!Path.empty() && Path.back() == '\\')
        Path.pop_back();
    if (Path.empty() || Path.front() == '\\' || Path.find("\\\\") != std::string::npos)
        return std::nullopt;
    for (const char c : Path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return std::nullopt;
    return Path;
}

} // namespace

TRegistry::TRegistry() : FBackend(NewRegistryBackend()) {}

TRegistry::~TRegistry() = default;

THKey TRegistry::RootKey() const { return FBackend->RootKey(); }

void TRegistry::SetRootKey(THKey Value) { FBackend->SetRootKey(Value); }

std::optional<std::string> TRegistry::ResolvePath(const std::string& Key) const
{
    if (!Key.empty() && Key.front() == '\\')
        return NormalizeKeyPath(Key.substr(1));
    if (HasCurrentKey())
        return NormalizeKeyPath(CurrentPath() + "\\" + Key);
    return NormalizeKeyPath(Key);
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate)
{
    const std::optional<std::string> path = ResolvePath(Key);
    if (!path) {
        FBackend->CloseKey();
        return false;
    }
    return FBackend->OpenKey(*path, CanCreate);
}

void TRegistry::CloseKey() { FBackend->CloseKey(); }

void TRegistry::Flush() { FBackend->Flush(); }

bool TRegistry::HasCurrentKey() const { return FBackend->HasCurrentKey(); }

const std::string& TRegistry::CurrentPath() const { return FBackend->CurrentPath(); }

bool TRegistry::KeyExists(const std::string& Key)
{
    const std::optional<std::string> path = ResolvePath(Key);
    return path && FBackend->KeyExists(*path);
}

bool TRegistry::ValueExists(const std::string& Name) const { return FBackend->ValueExists(Name); }

void TRegistry::WriteString(const std::string& Name, const std::string& Value) { FBackend->WriteString(Name, Value); }

void TRegistry::WriteInteger(const std::string& Name, int32_t Value) { FBackend->WriteInteger(Name, Value); }

std::string TRegistry::ReadString(const std::string& Name) const { return FBackend->ReadString(Name); }

int32_t TRegistry::ReadInteger(const std::string& Name) const { return FBackend->ReadInteger(Name); }
