#include "SettingsPlace.h"

std::string StoredSettingsLocation(const TCustomComPort& Port, const SettingsPlaces& Places)
{
    return Port.HasStoredSettings(Places.User) ? Places.User : Places.Machine;
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
