#pragma once
// What the simulated meter answers to each byte it receives: measurement
// text (Windows-1250) for "T", "V" and 1 to 28, and a decimal number with
// CR LF for every byte of the clock-setting handshake.
#include <cstdint>
#include <optional>
#include <string>

struct MeterAnswer {
    std::string Bytes;
    bool IsText = false; // measurement text (may be split into bursts), not a clock answer
};

class MeterProtocol {
public:
    // WrongClockByte: the number (from 1) of the clock byte to answer wrongly;
    // 0 answers all correctly.
    explicit MeterProtocol(int WrongClockByte) : FWrongClockByte(WrongClockByte) {}

    // The answer to one received byte, or nothing for a byte the meter ignores.
    std::optional<MeterAnswer> Answer(uint8_t Byte);

    // The text of stored measurement Number (1 to 28), CR LF included.
    static std::string Measurement(int Number);

private:
    std::optional<MeterAnswer> ClockAnswer(int Number);

    int FWrongClockByte;
    int FClockBytes = 0;
    bool FValueExpected = false; // the last byte was a field code
};
