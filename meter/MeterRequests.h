#pragma once
// The meter's read requests: each is exactly one byte.
#include <cstdint>
#include <string>
#include <string_view>

constexpr int kFirstMeasurement = 1;
constexpr int kLastMeasurement = 28;

// The most recent measurement: "T".
inline std::string LastMeasurementRequest() { return "T"; }
// All stored measurements: "V".
inline std::string AllMeasurementsRequest() { return "V"; }
// Stored measurement Number (1 to 28): the number itself as the byte.
inline std::string MeasurementRequest(uint8_t Number) { return std::string(1, static_cast<char>(Number)); }

// The number field's text as a measurement number: 1 when it is not a whole
// number, and never outside 1 to 28, so that no other request byte goes out.
uint8_t MeasurementNumber(std::u16string_view FieldText);
