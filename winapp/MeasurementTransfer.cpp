// The window's meter commands and what it shows of the session: the read
// commands, the clock command, the received bytes, the timers, and the pane,
// buttons, label and bar that the session drives.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

#include "MainVelt.h"
#include "MeterRequests.h"
#include "MeterSession.h"
#include "MeterTexts.h"
#include "Prompts.h"
#include "RichPane.h"
#include "WholeFile.h"
#include "Windows1250.h"

namespace {

// The meter's text as the pane keeps it: one "\r" per line break.
std::wstring PaneText(const std::string& Bytes)
{
    const std::u16string decoded = windows1250::Decode(Bytes);
    std::wstring text;
    text.reserve(decoded.size());
    for (size_t i = 0; i < decoded.size(); ++i) {
        const char16_t c = decoded[i];
        if (c == u'\r' && i + 1 < decoded.size() && decoded[i + 1] == u'\n')
            continue; // CR LF is one break
        text.push_back(c == u'\n' ? L'\r' : static_cast<wchar_t>(c));
    }
    return text;
}

} // namespace

void TForm1::bOstatniPomClick() { FSession->StartRead(LastMeasurementRequest()); }

void TForm1::bPomZPamClick() { FSession->StartRead(MeasurementRequest(MeasurementNumber())); }

void TForm1::bWszystPomClick() { FSession->StartRead(AllMeasurementsRequest()); }

void TForm1::bUstawZegarClick() { FSession->StartClockSetting(); }

void TForm1::ComPortRxChar(TComponent*, int32_t Count) { FSession->ReceiveFromPort(Count); }

void TForm1::ComPortError(TComponent*, TComErrors) { ShowMessage(FWindow, Wide(meter_text::kChoosePort)); }

void TForm1::tOdbieranieTimer() { FSession->IdleTimerTick(); }

void TForm1::tMiernikPodlaczonyTimer() { FSession->WatchdogTick(); }

void TForm1::tUstawZegarTimer() { FSession->HandshakeTimerTick(); }

// The number field's text as a measurement number: 1 when it is not a
// number, and never outside 1 to 28, so no other request byte can go out.
uint8_t TForm1::MeasurementNumber() const
{
    wchar_t text[16] = {};
    GetWindowTextW(Control(TControl::SpinEdit1), text, 16);
    wchar_t* end = nullptr;
    long number = std::wcstol(text, &end, 10);
    if (end == text || *end != L'\0')
        number = 1;
    return static_cast<uint8_t>(std::clamp<long>(number, kFirstMeasurement, kLastMeasurement));
}

// The field keeps its value within its range when it loses the focus.
void TForm1::KeepNumberInRange() { SendMessageW(Control(TControl::SpinArrows), UDM_SETPOS32, 0, MeasurementNumber()); }

void TForm1::bCzyscEkranClick() { ClearText(); }

// The control's own copy: the whole text as rich text and as plain text.
void TForm1::bKopiujDoSchowkaClick() { rich_pane::CopyAll(Control(TControl::Memo)); }

// The pane's content in Rich Text Format, to the file the operator names.
void TForm1::bZapiszDoPlikuClick()
{
    const std::wstring name = AskSaveFileName(FWindow);
    if (name.empty())
        return;
    WriteWholeFile(name, rich_pane::Rtf(Control(TControl::Memo)));
}

// ---- What the session shows -------------------------------------------------

void TForm1::ClearText() { rich_pane::SetText(Control(TControl::Memo), L""); }

void TForm1::SetCommandsEnabled(bool Enabled)
{
    for (TControl button :
         {TControl::bUstawienia, TControl::bPomZPam, TControl::bOstatniPom, TControl::bWszystPom, TControl::bCzyscEkran,
          TControl::bKopiujDoSchowka, TControl::bZapiszDoPliku, TControl::bUstawZegar})
        EnableWindow(Control(button), Enabled);
}

void TForm1::ShowTransfer()
{
    ShowWindow(Control(TControl::lTransmisja), SW_SHOW);
    ShowWindow(Control(TControl::pb), SW_SHOW);
}

// Moves the bar on, starting again from 0 when the step would pass its end.
void TForm1::StepProgress(int Amount)
{
    HWND bar = Control(TControl::pb);
    const auto position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    const auto maximum = static_cast<int>(SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    const int next = position + Amount > maximum ? Amount : position + Amount;
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(next), 0);
}

void TForm1::EndTransfer()
{
    ShowWindow(Control(TControl::lTransmisja), SW_HIDE);
    ShowWindow(Control(TControl::pb), SW_HIDE);
    SendMessageW(Control(TControl::pb), PBM_SETPOS, 0, 0);
    SetCommandsEnabled(true);
}

// The pane takes the answer as zero-terminated text: a NUL byte ends it. An
// answer equal to the pane's text leaves the pane untouched.
void TForm1::ShowAnswer(const std::string& Bytes)
{
    const std::wstring shown = PaneText(Bytes.substr(0, Bytes.find('\0')));
    HWND memo = Control(TControl::Memo);
    if (shown != rich_pane::Text(memo))
        rich_pane::SetText(memo, shown);
}

// The written message. The component's reason is not shown, as the window
// never showed it.
void TForm1::ReportOpenFailed(const std::string&, bool) { ShowError(FWindow, Wide(meter_text::kOpenFailed)); }

void TForm1::ReportNoAnswer()
{
    ShowError(FWindow, Wide(meter_text::kMeterError));
    rich_pane::AppendLine(Control(TControl::Memo), Wide(meter_text::kMeterErrorLine));
}

void TForm1::ReportClockSet() { rich_pane::AppendLine(Control(TControl::Memo), Wide(meter_text::kClockSet)); }

void TForm1::ReportClockFailed()
{
    ShowError(FWindow, Wide(meter_text::kMeterError));
    rich_pane::AppendLine(Control(TControl::Memo), Wide(meter_text::kClockFailed));
}
