// Keeping a port's settings in a store: the settings key of a registry
// location, and the port's SaveSettings/RestoreSettings with the four store
// operations they call.
#include <velt/comport/ComStorage.h>

#include <array>

#include <velt/comport/ComPort.h>

#include "ComPortPrivate.h"
#include <velt/comport/ComSettingsTable.h>
#include <velt/comport/framework/IniFile.h>
#include <velt/comport/framework/IntParse.h>
#include "Registry.h"
#include "SettingTexts.h"

// ---- The settings key -------------------------------------------------------

namespace {

// The key path of a location: the text after its first backslash (empty when
// there is none).
std::string KeyPathOf(const std::string& Location)
{
    const size_t slash = Location.find('\\');
    return slash == std::string::npos ? std::string() : Location.substr(slash + 1);
}

// A location whose root word is followed by a backslash and nothing else
// names no key at all; it is refused rather than read as the root itself.
void RequireKeyPath(const std::string& Location)
{
    if (Location.find('\\') != std::string::npos && KeyPathOf(Location).empty())
        throw ERegistryException("The location " + Location + " names no key");
}

} // namespace

void OpenSettingsKey(TRegistry& Registry, const std::string& Location, const std::string& SubKey, bool CanCreate)
{
    const size_t slash = Location.find('\\');
    if (slash == std::string::npos)
        return;
    const std::string root = UpperCaseAscii(Location.substr(0, slash));
    if (root == "HKEY_LOCAL_MACHINE")
        Registry.SetRootKey(kHkeyLocalMachine);
    else if (root == "HKEY_CURRENT_USER")
        Registry.SetRootKey(kHkeyCurrentUser);
    std::string path = KeyPathOf(Location);
    if (path.empty())
        return;
    if (path.back() != '\\')
        path += '\\';
    Registry.OpenKey(path + SubKey, CanCreate);
}

// ---- The stored values ------------------------------------------------------

namespace {

using Port = TCustomComPort;

// A store as the save and restore loops see it.
class SettingsSink {
public:
    virtual ~SettingsSink() = default;
    virtual void WriteText(const std::string& Name, const std::string& Value) = 0;
    virtual void WriteNumber(const std::string& Name, int32_t Value) = 0;
};

class SettingsSource {
public:
    virtual ~SettingsSource() = default;
    // Current and Fallback are what an ini file gives for a missing value;
    // the registry takes no defaults.
    virtual std::string ReadText(const std::string& Name, const std::string& Current) = 0;
    virtual int32_t ReadNumber(const std::string& Name, int32_t Fallback) = 0;
    // Whether a value of that name is stored, of whatever kind.
    virtual bool Holds(const std::string& Name) = 0;
};

class RegistryStore : public SettingsSink, public SettingsSource {
public:
    explicit RegistryStore(TRegistry& Registry) : FRegistry(Registry) {}
    void WriteText(const std::string& Name, const std::string& Value) override { FRegistry.WriteString(Name, Value); }
    void WriteNumber(const std::string& Name, int32_t Value) override { FRegistry.WriteInteger(Name, Value); }
    std::string ReadText(const std::string& Name, const std::string&) override { return FRegistry.ReadString(Name); }
    int32_t ReadNumber(const std::string& Name, int32_t) override { return FRegistry.ReadInteger(Name); }
    bool Holds(const std::string& Name) override { return FRegistry.ValueExists(Name); }

private:
    TRegistry& FRegistry;
};

class IniFileStore : public SettingsSink, public SettingsSource {
public:
    IniFileStore(TIniFile& IniFile, std::string Section) : FIniFile(IniFile), FSection(std::move(Section)) {}
    void WriteText(const std::string& Name, const std::string& Value) override
    {
        FIniFile.WriteString(FSection, Name, Value);
    }
    void WriteNumber(const std::string& Name, int32_t Value) override { FIniFile.WriteInteger(FSection, Name, Value); }
    std::string ReadText(const std::string& Name, const std::string& Current) override
    {
        return FIniFile.ReadString(FSection, Name, Current);
    }
    int32_t ReadNumber(const std::string& Name, int32_t Fallback) override
    {
        return FIniFile.ReadInteger(FSection, Name, Fallback);
    }
    bool Holds(const std::string& Name) override { return !FIniFile.ReadString(FSection, Name, "").empty(); }

private:
    TIniFile& FIniFile;
    std::string FSection;
};

// The custom rate is stored and read only while the rate is custom.
bool IsCustomRate(const TPortSetting& Setting) { return std::string_view(Setting.Name()) == "CustomBaudRate"; }

bool Selected(const Port& P, const TPortSetting& Setting)
{
    if (!P.SettingsGroups().Contains(Setting.Group()))
        return false;
    return !IsCustomRate(Setting) || P.BaudRate() == brCustom;
}

// The adapter's identity goes with the port's name (the basic group), in a
// value of its own after the others: a reader that does not know it skips it.
constexpr const char* kAdapterIdentity = "AdapterIdentity";

// Written when there is one, or to clear one stored before (of whatever
// kind); a store that never had one gets no value of it, and neither does a
// store that cannot be read: it has no identity to clear.
void SaveAdapterIdentity(const Port& P, SettingsSink& Sink, SettingsSource& Stored)
{
    if (!P.SettingsGroups().Contains(sgBasic))
        return;
    bool storedBefore = false;
    try {
        storedBefore = Stored.Holds(kAdapterIdentity);
    } catch (...) {
        storedBefore = false;
    }
    if (!P.AdapterIdentity().empty() || storedBefore)
        Sink.WriteText(kAdapterIdentity, P.AdapterIdentity());
}

// A value kept only when set is written when set, or to clear one stored
// before; a store that cannot be read has none to clear.
bool StoredBefore(SettingsSource& Stored, const std::string& Name)
{
    try {
        return Stored.Holds(Name);
    } catch (...) {
        return false;
    }
}

bool Written(const Port& P, const TPortSetting& Setting, SettingsSource& Stored)
{
    if (!Selected(P, Setting))
        return false;
    return !Setting.StoredOnlyWhenSet() || Setting.Number(P) != 0 || StoredBefore(Stored, Setting.Name());
}

void SaveAll(const Port& P, SettingsSink& Sink, SettingsSource& Stored)
{
    for (const TPortSetting& setting : PortSettings()) {
        if (!Written(P, setting, Stored))
            continue;
        if (setting.IsNumber())
            Sink.WriteNumber(setting.Name(), setting.Number(P));
        else
            Sink.WriteText(setting.Name(), setting.Text(P));
    }
}

// After the name, whose change clears it. An identity that cannot be read
// is no identity: the stored name is then used as it stands.
void RestoreAdapterIdentity(Port& P, SettingsSource& Source)
{
    if (!P.SettingsGroups().Contains(sgBasic))
        return;
    try {
        P.SetAdapterIdentity(Source.ReadText(kAdapterIdentity, ""));
    } catch (...) {
        P.SetAdapterIdentity({});
    }
}

// Each value goes through the setting's ordinary property, so equal values
// change nothing and a new Port reopens an open port at once.
void RestoreAll(Port& P, SettingsSource& Source)
{
    constexpr int32_t kDefaultCustomRate = 9600;
    for (const TPortSetting& setting : PortSettings()) {
        if (!Selected(P, setting))
            continue;
        if (setting.IsNumber()) {
            const int32_t fallback = IsCustomRate(setting) ? kDefaultCustomRate : setting.Number(P);
            setting.SetNumber(P, Source.ReadNumber(setting.Name(), fallback));
        } else {
            const std::string missing = setting.StoredOnlyWhenSet() ? setting.Texts().front() : setting.Text(P);
            setting.SetText(P, Source.ReadText(setting.Name(), missing));
        }
    }
    RestoreAdapterIdentity(P, Source);
}

} // namespace

// ---- The port's operations --------------------------------------------------

void TCustomComPort::SaveToRegistry(TRegistry& Registry)
{
    RegistryStore store(Registry);
    SaveAll(*this, store, store);
    SaveAdapterIdentity(*this, store, store);
}

void TCustomComPort::SaveToIniFile(TIniFile& IniFile)
{
    IniFileStore store(IniFile, Name());
    SaveAll(*this, store, store);
    SaveAdapterIdentity(*this, store, store);
}

void TCustomComPort::RestoreFromRegistry(TRegistry& Registry)
{
    RegistryStore store(Registry);
    RestoreAll(*this, store);
}

void TCustomComPort::RestoreFromIniFile(TIniFile& IniFile)
{
    IniFileStore store(IniFile, Name());
    RestoreAll(*this, store);
}

// Whatever fails underneath, the caller sees code 16 alone: the store's own
// wording is not the component's to show.
void TCustomComPort::SaveSettings(TSettingsStore Store, const std::string& Location)
{
    try {
        if (Store == ssRegistry) {
            RequireKeyPath(Location);
            TRegistry registry;
            OpenSettingsKey(registry, Location, Name());
            SaveToRegistry(registry);
            // The registry writes its file here; a failure must be seen.
            registry.CloseKey();
        } else {
            TIniFile iniFile(Location);
            SaveToIniFile(iniFile);
        }
    } catch (...) {
        throw EComPort(peSettingsStore);
    }
}

bool TCustomComPort::HasStoredSettings(const std::string& Location) const
{
    try {
        TRegistry registry;
        OpenSettingsKey(registry, Location, Name(), false);
        return registry.HasCurrentKey();
    } catch (...) {
        return false;
    }
}

// The update is ended on every path, so what was restored before a failure
// stays set and, on an open port, reaches the device once. Read-only, a
// missing key is not created and stays closed: it reads as an empty one.
void TCustomComPort::RestoreSettings(TSettingsStore Store, const std::string& Location, TStoreAccess Access)
{
    bool failed = false;
    BeginSettingsUpdate();
    try {
        if (Store == ssRegistry) {
            RequireKeyPath(Location);
            TRegistry registry;
            OpenSettingsKey(registry, Location, Name(), Access == saReadWrite);
            RestoreFromRegistry(registry);
        } else {
            TIniFile iniFile(Location);
            RestoreFromIniFile(iniFile);
        }
    } catch (...) {
        failed = true;
    }
    try {
        EndSettingsUpdate();
    } catch (...) {
        failed = true;
    }
    if (failed)
        throw EComPort(peSettingsLoad);
}
