#pragma once
/// @file
/// Text forms used by settings storage, and opening the registry key a port's
/// settings live in.
#include <velt/comport/Export.h>
#include <cstdint>
#include <string>

#include <velt/comport/ComTypes.h>

class TRegistry;

VELT_COMPORT_EXPORT std::string BoolToText(bool Value);           ///< "Yes" or "No".
VELT_COMPORT_EXPORT bool TextToBool(const std::string& Text);     ///< True for "Yes" in any letter case.
VELT_COMPORT_EXPORT std::string DTRToText(TDTRFlowControl Value); ///< "Disable", "Enable" or "Handshake".
VELT_COMPORT_EXPORT TDTRFlowControl
TextToDTR(const std::string& Text); ///< The DTR control a text names; dtrDisable when none.
VELT_COMPORT_EXPORT std::string RTSToText(TRTSFlowControl Value); ///< "Disable", "Enable", "Handshake" or "Toggle".
VELT_COMPORT_EXPORT TRTSFlowControl
TextToRTS(const std::string& Text);                        ///< The RTS control a text names; rtsDisable when none.
VELT_COMPORT_EXPORT std::string CharToText(uint8_t Value); ///< A character as stored: its decimal code.
VELT_COMPORT_EXPORT uint8_t TextToChar(const std::string& Text); ///< The character CharToText() stored.

/// Sets the registry object's root from the location's root word and opens
/// "<path>\<SubKey>", creating it when CanCreate. The outcome is not
/// reported: when the key cannot be opened the object simply has no open key.
VELT_COMPORT_EXPORT void OpenSettingsKey(TRegistry& Registry, const std::string& Location, const std::string& SubKey,
                                         bool CanCreate = true);
