#pragma once
// Setting the meter's clock: six fields (day, month, year, second, minute,
// hour), each as a code byte and a value byte, every byte confirmed by the
// meter with a number. A wrong or missing answer brings a resynchronisation
// byte and the current field again; the handshake gives up after 24 bytes.
//
// This is the exchange alone, without a line or a timer: the session sends
// the bytes it returns, hands it every answer, and asks for the next step
// when the answer's time is up.
#include <cstdint>
#include <functional>
#include <string_view>

// A moment on the computer's clock, as the meter's fields need it.
struct CalendarTime {
    int32_t Year = 2000;
    int32_t Month = 1;
    int32_t Day = 1;
    int32_t Hour = 0;
    int32_t Minute = 0;
    int32_t Second = 0;
};

class ClockHandshake {
public:
    enum class Outcome { Send, Succeeded, Failed };
    struct Step {
        Outcome What = Outcome::Send;
        uint8_t Byte = 0; // the byte to send, for Outcome::Send
    };

    // Starts over: the first byte to send, the day's code.
    uint8_t Begin();
    // One received burst, read as a number on its own: bursts are not joined,
    // so of a number split over two bursts only the last part counts.
    void TakeAnswer(std::string_view Burst);
    // The step after the last byte's answer time: the next byte, or the end.
    // Now is read only when a field's value goes out.
    Step Advance(const std::function<CalendarTime()>& Now);

    int32_t BytesSent() const { return FBytesSent; }

private:
    uint8_t SendCommand(int32_t Code);
    uint8_t SendValue(int32_t Value);
    uint8_t SendResync();

    int32_t FClockField = 0;    // code of the field being set; 97 once all six are done
    int32_t FExpectedReply = 0; // what the next answer must equal
    int32_t FReceivedReply = 0; // the last answer's number; -1: none since the last byte
    int32_t FBytesSent = 0;
    bool FAwaitingCommandAck = false; // the last byte was a field code or the resynchronisation
    bool FResyncing = false;          // the last byte was the resynchronisation
};

// The value of field Code (91 to 96) at the moment Time.
int32_t ClockFieldValue(int32_t Code, const CalendarTime& Time);
