#pragma once
// The texts of the settings' values, in ordinal order: the text conversions
// and the settings table share them.
#include <array>
#include <cstdint>

#include <velt/comport/ComTypes.h>

inline constexpr std::array<const char*, kBaudRateCount> kBaudRateTexts = {
    "Custom", "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
    "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
inline constexpr std::array<const char*, 3> kStopBitsTexts = {"1", "1.5", "2"};
inline constexpr std::array<const char*, 4> kDataBitsTexts = {"5", "6", "7", "8"};
inline constexpr std::array<const char*, 5> kParityTexts = {"None", "Odd", "Even", "Mark", "Space"};
inline constexpr std::array<const char*, 4> kFlowControlTexts = {"Hardware", "Software", "None", "Custom"};
inline constexpr std::array<const char*, 3> kDTRTexts = {"Disable", "Enable", "Handshake"};
inline constexpr std::array<const char*, 4> kRTSTexts = {"Disable", "Enable", "Handshake", "Toggle"};
// Indexed by the value as a number: false, true.
inline constexpr std::array<const char*, 2> kYesNoTexts = {"No", "Yes"};
