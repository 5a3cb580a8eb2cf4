#pragma once
/// @file
/// Opening the registry key a port's settings live in. The text forms the
/// settings are stored as are in ComTypes.h, included here.
#include <velt/comport/Export.h>
#include <cstdint>
#include <string>

#include <velt/comport/ComTypes.h>

class TRegistry;

/// Sets the registry object's root from the location's root word and opens
/// "<path>\<SubKey>", creating it when CanCreate. The outcome is not
/// reported: when the key cannot be opened the object simply has no open key.
VELT_COMPORT_EXPORT void OpenSettingsKey(TRegistry& Registry, const std::string& Location, const std::string& SubKey,
                                         bool CanCreate = true);
