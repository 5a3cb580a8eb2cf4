#include "SettingsPlace.h"

#include "Registry.h"

namespace {

// Whether Location ("HKEY_CURRENT_USER\Software\Velt4") holds the port's key.
bool HoldsPortKey(const std::string& Location, const std::string& PortName)
{
    const size_t slash = Location.find('\\');
    if (slash == std::string::npos)
        return false;
    TRegistry registry;
    registry.SetRootKey(Location.compare(0, slash, "HKEY_LOCAL_MACHINE") == 0 ? kHkeyLocalMachine : kHkeyCurrentUser);
    return registry.KeyExists(Location.substr(slash + 1) + "\\" + PortName);
}

} // namespace

std::string StoredSettingsLocation(const TCustomComPort& Port, const SettingsPlaces& Places)
{
    return HoldsPortKey(Places.User, Port.Name()) ? Places.User : Places.Machine;
}

void RestoreStoredSettings(TCustomComPort& Port, const SettingsPlaces& Places)
{
    Port.RestoreSettings(ssRegistry, StoredSettingsLocation(Port, Places));
}

std::string SaveStoredSettings(TCustomComPort& Port, const SettingsPlaces& Places)
{
    const std::string location = StoredSettingsLocation(Port, Places);
    try {
        Port.SaveSettings(ssRegistry, location);
        return location;
    } catch (const EComPort&) {
        if (location == Places.User)
            throw;
    }
    // The machine-wide key refused the account: it gets a copy of its own.
    Port.SaveSettings(ssRegistry, Places.User);
    return Places.User;
}
