#pragma once
// Text forms used by settings storage, and opening the registry key a port's
// settings live in.
#include <cstdint>
#include <string>

#include <velt/comport/ComTypes.h>

class TRegistry;

std::string BoolToText(bool Value);
bool TextToBool(const std::string& Text);
std::string DTRToText(TDTRFlowControl Value);
TDTRFlowControl TextToDTR(const std::string& Text);
std::string RTSToText(TRTSFlowControl Value);
TRTSFlowControl TextToRTS(const std::string& Text);
std::string CharToText(uint8_t Value);
uint8_t TextToChar(const std::string& Text);

// Sets the registry object's root from the location's root word and opens
// (creating) "<path>\<SubKey>". The outcome is not reported: when the key
// cannot be opened the object simply has no open key.
void OpenSettingsKey(TRegistry& Registry, const std::string& Location, const std::string& SubKey);
