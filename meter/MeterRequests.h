#pragma once
// The meter's read requests: each is exactly one byte.
#include <cstdint>
#include <string>

constexpr int kFirstMeasurement = 1;
constexpr int kLastMeasurement = 28;

// The most recent measurement: "T".
inline std::string LastMeasurementRequest() { return "T"; }
// All stored measurements: "V".
inline std::string AllMeasurementsRequest() { return "V"; }
// Stored measurement Number (1 to 28): the number itself as the byte.
inline std::string MeasurementRequest(uint8_t Number) { return std::string(1, static_cast<char>(Number)); }
