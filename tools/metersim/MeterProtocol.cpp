#include "MeterProtocol.h"

#include "Utf8ToCp1250.h"

namespace {

constexpr uint8_t kLastRequest = 'T';
constexpr uint8_t kAllRequest = 'V';
constexpr int kStoredMeasurements = 28;
constexpr uint8_t kFirstFieldCode = 91;
constexpr uint8_t kLastFieldCode = 96;
constexpr uint8_t kResync = 100;
constexpr uint8_t kLargestValueByte = 199;

// A reading with one decimal, written with the Polish decimal comma.
std::string Tenths(int Value) { return std::to_string(Value / 10) + "," + std::to_string(Value % 10); }

std::string AllMeasurements()
{
    std::string text;
    for (int n = 1; n <= kStoredMeasurements; ++n)
        text += MeterProtocol::Measurement(n);
    return text;
}

} // namespace

std::string MeterProtocol::Measurement(int Number)
{
    const int temperature = 200 + (Number * 37) % 150;
    const int humidity = 30 + (Number * 7) % 50;
    return Utf8ToCp1250("Pomiar nr " + std::to_string(Number) + ": " + Tenths(temperature) + " °C, wilgotność " +
                        std::to_string(humidity) + " %\r\n");
}

std::optional<MeterAnswer> MeterProtocol::Answer(uint8_t Byte)
{
    if (Byte == kLastRequest)
        return MeterAnswer{Utf8ToCp1250("Ostatni pomiar – ") + Measurement(kStoredMeasurements), true};
    if (Byte == kAllRequest)
        return MeterAnswer{AllMeasurements(), true};
    if (Byte >= 1 && Byte <= kStoredMeasurements)
        return MeterAnswer{Measurement(Byte), true};
    if (Byte >= kFirstFieldCode && Byte <= kLastFieldCode) {
        FValueExpected = true;
        return ClockAnswer(Byte);
    }
    if (Byte >= kResync && Byte <= kLargestValueByte && FValueExpected) {
        FValueExpected = false;
        return ClockAnswer(Byte - 100);
    }
    if (Byte == kResync)
        return ClockAnswer(kResync);
    return std::nullopt;
}

std::optional<MeterAnswer> MeterProtocol::ClockAnswer(int Number)
{
    ++FClockBytes;
    if (FClockBytes != FWrongClockByte)
        return MeterAnswer{std::to_string(Number) + "\r\n", false};
    // After a wrong answer the program resynchronises: a following 100 is
    // that, not a field value of 0.
    FValueExpected = false;
    return MeterAnswer{std::to_string(Number + 1) + "\r\n", false};
}
