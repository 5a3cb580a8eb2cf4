#pragma once
// Where the program keeps its port settings. The written place is the
// machine-wide key (kSettingsLocation). On Windows an ordinary account may
// not write below HKEY_LOCAL_MACHINE; its settings then go to a copy of its
// own below HKEY_CURRENT_USER, and that copy, once there, is where the
// account's settings are read from and written to: what was stored is what
// the next start finds, whoever runs the program.
#include <string>

#include "MeterPort.h"

constexpr const char* kUserSettingsLocation = "HKEY_CURRENT_USER\\Software\\Velt4";

struct SettingsPlaces {
    std::string Machine = kSettingsLocation;
    std::string User = kUserSettingsLocation;
};

// The location the settings are read from: the account's copy when it holds
// the port's key, else the machine-wide key.
std::string StoredSettingsLocation(const TCustomComPort& Port, const SettingsPlaces& Places = {});
// Restores the port's settings from StoredSettingsLocation.
void RestoreStoredSettings(TCustomComPort& Port, const SettingsPlaces& Places = {});
// Saves the port's settings where they will be read from next time: the
// account's copy when there is one; else the machine-wide key, and when that
// cannot be written, a new account's copy. Returns the location written;
// throws EComPort (settings store) when no place takes them.
std::string SaveStoredSettings(TCustomComPort& Port, const SettingsPlaces& Places = {});
