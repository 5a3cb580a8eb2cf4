// What the window draws of the program and the window's own part of its
// commands: the pane, the buttons, label and bar, the status line, boxes, the clipboard and
// the save dialog.
#include <windows.h>

#include <commctrl.h>

#include "MainVelt.h"
#include "Prompts.h"
#include "RichPane.h"

namespace {

// The program's line breaks are "\n"; the control keeps one "\r" per break.
std::wstring ControlText(const std::u16string& Text)
{
    std::wstring text(Text.begin(), Text.end());
    for (wchar_t& c : text)
        if (c == L'\n')
            c = L'\r';
    return text;
}

std::u16string ProgramText(const std::wstring& Text)
{
    std::u16string text(Text.begin(), Text.end());
    for (char16_t& c : text)
        if (c == u'\r')
            c = u'\n';
    return text;
}

} // namespace

void TForm1::Draw(const ProgramState& State)
{
    for (const CommandButton& button : CommandButtons())
        EnableWindow(GetDlgItem(FWindow, button.ControlId), State.CommandsEnabled);
    const int shown = State.TransferShown ? SW_SHOW : SW_HIDE;
    ShowWindow(Control(TControl::lTransmisja), shown);
    ShowWindow(Control(TControl::pb), shown);
    SendMessageW(Control(TControl::pb), PBM_SETPOS, static_cast<WPARAM>(State.Progress), 0);
    DrawStatus(State.Status);
}

// The status line appears under the pane, which gives up its room, and
// goes when there is nothing to tell.
void TForm1::DrawStatus(const std::string& Status)
{
    HWND status = Control(TControl::lStatus);
    SetWindowTextW(status, Wide(Status.c_str()).c_str());
    const bool shown = !Status.empty();
    if (StatusShown() == shown)
        return;
    ShowWindow(status, shown ? SW_SHOW : SW_HIDE);
    PlaceControls();
}

std::u16string TForm1::PaneText() const { return ProgramText(rich_pane::Text(Control(TControl::Memo))); }

void TForm1::SetPaneText(const std::u16string& Text) { rich_pane::SetText(Control(TControl::Memo), ControlText(Text)); }

std::u16string TForm1::NumberText() const
{
    wchar_t text[16] = {};
    GetWindowTextW(Control(TControl::SpinEdit1), text, 16);
    return ProgramText(std::wstring(text));
}

void TForm1::ShowBox(const ProgramBox& Box)
{
    ShowMessageBox(FWindow, Wide(Box.Text.c_str()), Wide(Box.Caption.c_str()),
                   MB_OK | (Box.Kind == BoxKind::Error ? MB_ICONERROR : 0));
}

// The control's own copy: the whole text as rich text and as plain text.
void TForm1::CopyPane() { rich_pane::CopyAll(Control(TControl::Memo)); }

std::filesystem::path TForm1::AskSaveFileName() { return std::filesystem::path(::AskSaveFileName(FWindow)); }

std::string TForm1::PaneRtf() const { return rich_pane::Rtf(Control(TControl::Memo)); }

// As the "Ustawienia" button does.
bool TForm1::ChoosePort() { return ComPort->ShowSettingsDialog(); }
