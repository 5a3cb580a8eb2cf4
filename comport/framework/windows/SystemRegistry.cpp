// The registry behind TRegistry on Windows: the system's own registry. Texts
// are stored as REG_SZ and numbers as REG_DWORD, the kinds the REGEDIT4 file
// of other platforms holds, so that a key exported on one platform imports
// on the other. Writes reach the registry at once.
#include "RegistryBackend.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <vector>

#include <velt/comport/platform/WideText.h>

namespace {

HKEY RootHandle(THKey Root) { return Root == kHkeyLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

std::string SystemMessage(LSTATUS Status)
{
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(Status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    if (message.empty())
        return "system error " + std::to_string(Status);
    return Utf8FromWide(message);
}

struct StoredValue {
    DWORD Type = REG_NONE;
    std::vector<BYTE> Data;
};

// The value's kind and bytes; nothing when it does not exist.
std::optional<StoredValue> QueryValue(HKEY Key, const std::string& Name)
{
    const std::wstring name = WideFromUtf8(Name);
    for (;;) {
        StoredValue value;
        DWORD size = 0;
        LSTATUS status = RegQueryValueExW(Key, name.c_str(), nullptr, &value.Type, nullptr, &size);
        if (status == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        if (status != ERROR_SUCCESS)
            throw ERegistryException("Cannot read '" + Name + "': " + SystemMessage(status));
        value.Data.resize(size);
        status = RegQueryValueExW(Key, name.c_str(), nullptr, &value.Type, value.Data.data(), &size);
        if (status == ERROR_MORE_DATA)
            continue; // it grew in between
        if (status == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        if (status != ERROR_SUCCESS)
            throw ERegistryException("Cannot read '" + Name + "': " + SystemMessage(status));
        value.Data.resize(size);
        return value;
    }
}

class SystemRegistry : public RegistryBackend {
public:
    ~SystemRegistry() override;
    THKey RootKey() const override { return FRootKey; }
    void SetRootKey(THKey Value) override;

    bool OpenKey(const std::string& Path, bool CanCreate) override;
    void CloseKey() override;
    void Flush() override;

    bool HasCurrentKey() const override { return FCurrentKey != nullptr; }
    const std::string& CurrentPath() const override { return FCurrentPath; }
    bool KeyExists(const std::string& Path) override;
    bool ValueExists(const std::string& Name) const override;

    void WriteString(const std::string& Name, const std::string& Value) override;
    void WriteInteger(const std::string& Name, int32_t Value) override;
    std::string ReadString(const std::string& Name) const override;
    int32_t ReadInteger(const std::string& Name) const override;

private:
    THKey FRootKey = kHkeyCurrentUser;
    void* FCurrentKey = nullptr; // the open HKEY
    std::string FCurrentPath;
};

} // namespace

std::unique_ptr<RegistryBackend> NewRegistryBackend() { return std::make_unique<SystemRegistry>(); }

SystemRegistry::~SystemRegistry() { CloseKey(); }

void SystemRegistry::SetRootKey(THKey Value)
{
    if (Value == FRootKey)
        return;
    CloseKey();
    FRootKey = Value;
}

bool SystemRegistry::OpenKey(const std::string& Path, bool CanCreate)
{
    CloseKey();
    const std::wstring widePath = WideFromUtf8(Path);
    HKEY key = nullptr;
    const LSTATUS status = CanCreate
                               ? RegCreateKeyExW(RootHandle(FRootKey), widePath.c_str(), 0, nullptr,
                                                 REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key, nullptr)
                               : RegOpenKeyExW(RootHandle(FRootKey), widePath.c_str(), 0, KEY_READ | KEY_WRITE, &key);
    if (status != ERROR_SUCCESS)
        return false;
    FCurrentKey = key;
    FCurrentPath = Path;
    return true;
}

void SystemRegistry::CloseKey()
{
    if (FCurrentKey != nullptr)
        RegCloseKey(static_cast<HKEY>(FCurrentKey));
    FCurrentKey = nullptr;
    FCurrentPath.clear();
}

void SystemRegistry::Flush()
{
    if (FCurrentKey == nullptr)
        return;
    const LSTATUS status = RegFlushKey(static_cast<HKEY>(FCurrentKey));
    if (status != ERROR_SUCCESS)
        throw ERegistryException("Cannot write the registry: " + SystemMessage(status));
}

bool SystemRegistry::KeyExists(const std::string& Path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootHandle(FRootKey), WideFromUtf8(Path).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool SystemRegistry::ValueExists(const std::string& Name) const
{
    return HasCurrentKey() && QueryValue(static_cast<HKEY>(FCurrentKey), Name).has_value();
}

void SystemRegistry::WriteString(const std::string& Name, const std::string& Value)
{
    if (!HasCurrentKey())
        throw ERegistryException("Failed to set data for '" + Name + "': no key is open");
    if (Value.find('\0') != std::string::npos)
        throw ERegistryException("Failed to set data for '" + Name + "': a text cannot hold a zero byte");
    const std::wstring text = WideFromUtf8(Value);
    const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    const LSTATUS status = RegSetValueExW(static_cast<HKEY>(FCurrentKey), WideFromUtf8(Name).c_str(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(text.c_str()), size);
    if (status != ERROR_SUCCESS)
        throw ERegistryException("Failed to set data for '" + Name + "': " + SystemMessage(status));
}

void SystemRegistry::WriteInteger(const std::string& Name, int32_t Value)
{
    if (!HasCurrentKey())
        throw ERegistryException("Failed to set data for '" + Name + "': no key is open");
    const DWORD number = static_cast<DWORD>(Value);
    const LSTATUS status = RegSetValueExW(static_cast<HKEY>(FCurrentKey), WideFromUtf8(Name).c_str(), 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&number), sizeof number);
    if (status != ERROR_SUCCESS)
        throw ERegistryException("Failed to set data for '" + Name + "': " + SystemMessage(status));
}

std::string SystemRegistry::ReadString(const std::string& Name) const
{
    if (!HasCurrentKey())
        return {};
    const std::optional<StoredValue> value = QueryValue(static_cast<HKEY>(FCurrentKey), Name);
    if (!value)
        return {};
    if (value->Type != REG_SZ && value->Type != REG_EXPAND_SZ)
        throw ERegistryException("Invalid data type for '" + Name + "'");
    // The stored text may or may not end with its zero.
    std::wstring_view text(reinterpret_cast<const wchar_t*>(value->Data.data()), value->Data.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.remove_suffix(1);
    return Utf8FromWide(text);
}

int32_t SystemRegistry::ReadInteger(const std::string& Name) const
{
    std::optional<StoredValue> value;
    if (HasCurrentKey())
        value = QueryValue(static_cast<HKEY>(FCurrentKey), Name);
    if (!value || value->Type != REG_DWORD || value->Data.size() != sizeof(DWORD))
        throw ERegistryException("Invalid data type for '" + Name + "'");
    DWORD number = 0;
    std::memcpy(&number, value->Data.data(), sizeof number);
    return static_cast<int32_t>(number);
}
