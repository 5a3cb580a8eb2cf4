// Setting the meter's clock: six fields, each as a code byte and a value
// byte, every byte confirmed by the meter with a number. A wrong or missing
// answer brings a resynchronisation byte and the current field again; the
// handshake gives up after 24 bytes.
#include <QTimer>

#include "MainVelt.h"
#include "ui_MainVelt.h"

namespace {

constexpr int32_t kDayCode = 91;
constexpr int32_t kMonthCode = 92;
constexpr int32_t kYearCode = 93;
constexpr int32_t kSecondCode = 94;
constexpr int32_t kMinuteCode = 95;
constexpr int32_t kHourCode = 96;
constexpr int32_t kAllFieldsDone = 97;
constexpr int32_t kResyncByte = 100;
constexpr int32_t kValueOffset = 100;
constexpr int32_t kMaxBytesSent = 24;

} // namespace

void TForm1::bUstawZegarClick()
{
    ui->Memo->clear();
    SetCommandsEnabled(false);
    if (!OpenPortIfClosed()) {
        SetCommandsEnabled(true);
        return;
    }
    try {
        SendClockCommand(kDayCode);
    } catch (...) {
        AbandonHandshake();
        throw;
    }
    FBytesSent = 1;
    tUstawZegar->start();
}

void TForm1::tUstawZegarTimer()
{
    tUstawZegar->stop();
    try {
        StepHandshake();
    } catch (...) {
        AbandonHandshake();
        throw;
    }
}

// A write that fails leaves no timer to bring the buttons back: stop here.
void TForm1::AbandonHandshake()
{
    tUstawZegar->stop();
    EndTransfer();
}

void TForm1::StepHandshake()
{
    if (FBytesSent >= kMaxBytesSent) {
        ShowError(QStringLiteral("Wystąpił błąd komunikacji z miernikiem!"));
        AppendLine(QStringLiteral("Błąd ustawiania zegara miernika!"));
        EndTransfer();
        return;
    }
    if (FReceivedReply == FExpectedReply) {
        if (!FAwaitingCommandAck)
            ++FClockField; // a value was confirmed: on to the next field
        if (FClockField >= kAllFieldsDone) {
            EndTransfer();
            AppendLine(QStringLiteral("Zegar miernika ustawiony poprawnie!"));
            return;
        }
        if (!FAwaitingCommandAck || FResyncing)
            SendClockCommand(FClockField);
        else
            SendClockValue(ClockFieldValue(FClockField));
    } else {
        SendResync();
    }
    tUstawZegar->start();
}

void TForm1::SendClockCommand(int32_t Code)
{
    FClockField = Code;
    FExpectedReply = Code;
    FReceivedReply = -1;
    ++FBytesSent;
    FAwaitingCommandAck = true;
    FResyncing = false;
    SendByte(Code);
}

void TForm1::SendClockValue(int32_t Value)
{
    FExpectedReply = Value;
    FReceivedReply = -1;
    ++FBytesSent;
    FAwaitingCommandAck = false;
    FResyncing = false;
    SendByte(Value + kValueOffset);
}

void TForm1::SendResync()
{
    FExpectedReply = kResyncByte;
    FReceivedReply = -1;
    ++FBytesSent;
    FResyncing = true;
    FAwaitingCommandAck = true;
    SendByte(kResyncByte);
}

// The low eight bits of the number, on their own.
void TForm1::SendByte(int32_t Byte) { WriteToMeter(std::string(1, static_cast<char>(Byte & 0xFF))); }

// The field's value on the clock at this moment.
int32_t TForm1::ClockFieldValue(int32_t Code) const
{
    const QDateTime now = Clock();
    switch (Code) {
    case kDayCode: return now.date().day();
    case kMonthCode: return now.date().month();
    case kYearCode: return now.date().year() - 2000;
    case kSecondCode: return now.time().second();
    case kMinuteCode: return now.time().minute();
    case kHourCode: return now.time().hour();
    default: return 0;
    }
}
