// The window's clock command: the session runs the handshake on the
// window's 60 ms timer; the window reports how it ended.
#include "ClockHandshake.h"

#include "MainVelt.h"
#include "MeterSession.h"
#include "MeterTexts.h"

void TForm1::bUstawZegarClick() { FSession->StartClockSetting(); }

void TForm1::tUstawZegarTimer() { FSession->HandshakeTimerTick(); }

void TForm1::ReportClockSet() { AppendLine(QString::fromUtf8(meter_text::kClockSet)); }

void TForm1::ReportClockFailed()
{
    ShowError(QString::fromUtf8(meter_text::kMeterError));
    AppendLine(QString::fromUtf8(meter_text::kClockFailed));
}

// The moment on the window's clock.
CalendarTime TForm1::ClockNow() const
{
    const QDateTime now = Clock();
    return {now.date().year(), now.date().month(),  now.date().day(),
            now.time().hour(), now.time().minute(), now.time().second()};
}
