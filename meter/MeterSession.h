#pragma once
// One session with the meter over the serial-port component: the one-byte
// read requests, the answer collected until the line has been silent for a
// second (at most 16 MiB of it), the watchdog for a meter that does not
// answer, and the clock handshake. Its timers and its view are given, so the
// window runs it on its own timers and widgets, and the command-line tool and
// the tests on deadline timers and a clock of their own.
//
// The session binds its port's notifications (received bytes, line errors)
// while it lives, and opens the port itself, following the meter's adapter.
// The operations are the window's handlers: commands, the received-bytes
// notification and the three timer ticks. All run on one thread.
#include <cstdint>
#include <functional>
#include <string>

#include <velt/comport/ComTypes.h>

#include "ClockHandshake.h"
#include "MeterTimer.h"
#include "MeterView.h"

class TCustomComPort;

// A meter's answer is a few kilobytes. A line that never falls silent must
// not fill the memory: what arrives beyond this is not kept.
constexpr size_t kMaxAnswerSize = 16 * 1024 * 1024;

class MeterSession {
public:
    // Now gives the moment the clock handshake sends (the computer's clock).
    // An answer keeps at most MaxAnswerSize bytes.
    MeterSession(TCustomComPort& Port, MeterTimers Timers, MeterView& View, std::function<CalendarTime()> Now,
                 size_t MaxAnswerSize = kMaxAnswerSize);
    ~MeterSession();
    MeterSession(const MeterSession&) = delete;
    MeterSession& operator=(const MeterSession&) = delete;

    // The port's notifications no longer reach the session (the port may
    // still serve hand-overs in flight while it closes).
    void ReleasePort();

    // Opens the port when it is closed: the meter's adapter is looked for
    // first (under a new name it is opened there, and the view told); when
    // it is missing or cannot be told apart from another, nothing is opened.
    // A failure is reported to the view, not raised; the result tells
    // whether the port is open now.
    bool OpenPort();

    // A read command. A port that does not open is reported; the request is
    // written all the same, and that write's failure leaves here, while the
    // watchdog brings the commands back a second later. When the stored
    // adapter is missing or cannot be told apart, nothing is written at all.
    void StartRead(const std::string& Request);
    // The clock command: sets the meter's clock to Now.
    void StartClockSetting();

    // The port reported line errors. A hang-up (the adapter pulled out)
    // closes the port and ends what waited for the meter, keeping what came
    // (the next command opens the port again, wherever the adapter is then);
    // the result tells whether it was one.
    bool TakeLineErrors(TComErrors Errors);

    // The port announced Count received bytes: they are read and taken.
    void ReceiveFromPort(int32_t Count);
    // One received burst.
    void Receive(const std::string& Burst);

    void IdleTimerTick();
    void WatchdogTick();
    void HandshakeTimerTick();

    // Bytes received since the last answer was shown.
    size_t BufferedBytes() const { return FReceiveBuffer.size(); }
    int32_t ClockBytesSent() const { return FHandshake.BytesSent(); }

private:
    void BindPort();
    bool OpenFollowedPort();
    void ClosePortIfGone();
    void WriteToMeter(const std::string& Bytes);
    void SendHandshakeByte(uint8_t Byte);
    void HandshakeStep();
    void AbandonHandshake();

    TCustomComPort& FPort;
    MeterTimers FTimers;
    MeterView& FView;
    std::function<CalendarTime()> FNow;
    size_t FMaxAnswerSize;
    std::string FReceiveBuffer;
    bool FAnswerCut = false;    // bytes beyond FMaxAnswerSize arrived and were left out
    bool FLineGone = false;     // the line hung up; the port closes at the next timer tick or command
    bool FPortToChoose = false; // the last open found no port it may use for the adapter
    ClockHandshake FHandshake;
};
