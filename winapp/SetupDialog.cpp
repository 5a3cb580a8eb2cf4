#include "SetupDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComSetup.h>
#include <velt/comport/framework/ExceptionReport.h>
#include <velt/comport/platform/WideText.h>

namespace {

// The dialog's sizes in pixels at 96 dots per inch: a row per setting in a
// group box, the two buttons below it.
constexpr int kClientWidth = 231;
constexpr int kGroupLeft = 8, kGroupTop = 8, kGroupWidth = 217;
constexpr int kRowPitch = 24;
constexpr int kLabelLeft = 8, kLabelTop = 24, kLabelWidth = 70, kLabelHeight = 14;
constexpr int kListLeft = 80, kListTop = 16, kListWidth = 129, kListHeight = 21, kDropDownHeight = 200;
constexpr int kButtonTopGap = 7, kButtonWidth = 75, kButtonHeight = 25, kOkLeft = 70, kCancelLeft = 150;
// The group's caption begins this far in from the group's left edge and
// wants as much room after it.
constexpr int kCaptionMargin = 10;
constexpr const wchar_t* kGroupCaption = L"Ustawienia portu szeregowego";
// How often the dialog looks at the port watcher's notice: a modal dialog's
// own loop waits on no handle of ours.
constexpr UINT_PTR kPortWatchTimer = 1;
constexpr UINT kPortWatchMilliseconds = 500;

TSetupDialogHook& Hook()
{
    static TSetupDialogHook hook;
    return hook;
}

struct DialogRun {
    std::unique_ptr<TComSetup> Setup;
    int Dpi = 96;
    HFONT Font = nullptr;
    // Pixels (at 96 dots per inch) the group, the dialog and the buttons move
    // right by where the system's font needs more room for the caption.
    int Widening = 0;

    int Scaled(int Pixels) const { return MulDiv(Pixels, Dpi, 96); }
    std::vector<TSetupList>& Lists() const { return Setup->Lists(); }
    int GroupHeight() const { return 16 + kRowPitch * static_cast<int>(Lists().size()) + 9; }
    int ButtonTop() const { return kGroupTop + GroupHeight() + kButtonTopGap; }
    int ClientHeight() const { return ButtonTop() + kButtonHeight + kButtonTopGap; }
};

HWND AddControl(HWND Dialog, const DialogRun& Run, const wchar_t* Class, const std::wstring& Text, DWORD Style, int Id,
                int Left, int Top, int Width, int Height)
{
    HWND control =
        CreateWindowExW(0, Class, Text.c_str(), WS_CHILD | WS_VISIBLE | Style, Run.Scaled(Left), Run.Scaled(Top),
                        Run.Scaled(Width), Run.Scaled(Height), Dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Run.Font), FALSE);
    return control;
}

// Fills List with the entries' texts and shows the entry the setup shows.
void FillList(HWND List, const TSetupList& Setup)
{
    SendMessageW(List, CB_RESETCONTENT, 0, 0);
    for (const TSetupEntry& entry : Setup.Entries())
        SendMessageW(List, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(entry.Text).c_str()));
    SendMessageW(List, CB_SETCURSEL, static_cast<WPARAM>(Setup.Shown()), 0);
}

// The popup of a list may be wider than the list: wide enough for its
// longest text (a port with its description).
void FitDropDown(HWND List, const DialogRun& Run, const TSetupList& Setup)
{
    HDC device = GetDC(List);
    const HGDIOBJ previous = Run.Font != nullptr ? SelectObject(device, Run.Font) : nullptr;
    int widest = 0;
    for (const TSetupEntry& entry : Setup.Entries()) {
        const std::wstring wide = WideFromUtf8(entry.Text);
        SIZE size{};
        GetTextExtentPoint32W(device, wide.c_str(), static_cast<int>(wide.size()), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
    }
    if (previous != nullptr)
        SelectObject(device, previous);
    ReleaseDC(List, device);
    const int margins = 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL) + Run.Scaled(4);
    SendMessageW(List, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + margins), 0);
}

void DrawList(HWND Dialog, const DialogRun& Run, size_t Index)
{
    HWND list = GetDlgItem(Dialog, kFirstSettingList + static_cast<int>(Index));
    const TSetupList& setup = Run.Lists()[Index];
    FillList(list, setup);
    if (setup.ComProperty() == cpPort)
        FitDropDown(list, Run, setup);
}

// A pick-only list with the setup list's texts, showing what it shows.
void AddRow(HWND Dialog, const DialogRun& Run, size_t Index)
{
    const TSetupList& setup = Run.Lists()[Index];
    const int offset = kRowPitch * static_cast<int>(Index);
    AddControl(Dialog, Run, WC_STATICW, WideFromUtf8(setup.Caption()), SS_LEFT,
               kFirstSettingLabel + static_cast<int>(Index), kGroupLeft + kLabelLeft, kGroupTop + kLabelTop + offset,
               kLabelWidth, kLabelHeight);
    AddControl(Dialog, Run, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
               kFirstSettingList + static_cast<int>(Index), kGroupLeft + kListLeft, kGroupTop + kListTop + offset,
               kListWidth, kListHeight + kDropDownHeight);
    DrawList(Dialog, Run, Index);
}

// The window gets the client size the rows need, centred on its screen.
void FitAndCentre(HWND Dialog, const DialogRun& Run)
{
    RECT frame{0, 0, Run.Scaled(kClientWidth + Run.Widening), Run.Scaled(Run.ClientHeight())};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(Dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(Dialog, GWL_EXSTYLE)));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(Dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    SetWindowPos(Dialog, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// How much wider than written the group must be for its caption to show
// whole in the dialog's font (a font wider than the written one cut it).
int CaptionWidening(HWND Dialog, const DialogRun& Run)
{
    HDC device = GetDC(Dialog);
    if (device == nullptr)
        return 0;
    HGDIOBJ previous = SelectObject(device, Run.Font);
    SIZE size{};
    GetTextExtentPoint32W(device, kGroupCaption, static_cast<int>(wcslen(kGroupCaption)), &size);
    SelectObject(device, previous);
    ReleaseDC(Dialog, device);
    const int needed = MulDiv(size.cx, 96, Run.Dpi) + 2 * kCaptionMargin;
    return needed > kGroupWidth ? needed - kGroupWidth : 0;
}

void BuildDialog(HWND Dialog, DialogRun& Run)
{
    Run.Font = reinterpret_cast<HFONT>(SendMessageW(Dialog, WM_GETFONT, 0, 0));
    HDC device = GetDC(Dialog);
    Run.Dpi = device != nullptr ? GetDeviceCaps(device, LOGPIXELSY) : 96;
    ReleaseDC(Dialog, device);
    Run.Widening = CaptionWidening(Dialog, Run);
    AddControl(Dialog, Run, WC_BUTTONW, kGroupCaption, BS_GROUPBOX, -1, kGroupLeft, kGroupTop,
               kGroupWidth + Run.Widening, Run.GroupHeight());
    for (size_t i = 0; i < Run.Lists().size(); ++i)
        AddRow(Dialog, Run, i);
    AddControl(Dialog, Run, WC_BUTTONW, L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, kOkLeft + Run.Widening,
               Run.ButtonTop(), kButtonWidth, kButtonHeight);
    AddControl(Dialog, Run, WC_BUTTONW, L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, kCancelLeft + Run.Widening,
               Run.ButtonTop(), kButtonWidth, kButtonHeight);
    FitAndCentre(Dialog, Run);
}

// The operator's picks go to the setup: a list that shows another entry
// than the setup's was picked there.
void TakePicks(HWND Dialog, DialogRun& Run)
{
    for (size_t i = 0; i < Run.Lists().size(); ++i) {
        HWND list = GetDlgItem(Dialog, kFirstSettingList + static_cast<int>(i));
        const auto selected = static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
        if (selected >= 0 && selected != Run.Lists()[i].Shown())
            Run.Lists()[i].Pick(selected);
    }
}

// Ports came or went: the setup reads the port list again, keeping what the
// operator picked, and the lists are drawn afresh. A list that cannot be
// read now is reported, and the lists stay as they were.
void FollowPorts(HWND Dialog, DialogRun& Run)
{
    TakePicks(Dialog, Run);
    try {
        if (!Run.Setup->FollowPorts())
            return;
    } catch (...) {
        ReportException(std::current_exception());
        return;
    }
    for (size_t i = 0; i < Run.Lists().size(); ++i)
        DrawList(Dialog, Run, i);
}

INT_PTR CALLBACK DialogProcedure(HWND Dialog, UINT Message, WPARAM WParam, LPARAM LParam)
{
    if (Message == WM_INITDIALOG) {
        SetWindowLongPtrW(Dialog, DWLP_USER, LParam);
        BuildDialog(Dialog, *reinterpret_cast<DialogRun*>(LParam));
        SetTimer(Dialog, kPortWatchTimer, kPortWatchMilliseconds, nullptr);
        if (Hook())
            Hook()(Dialog);
        return TRUE;
    }
    auto* run = reinterpret_cast<DialogRun*>(GetWindowLongPtrW(Dialog, DWLP_USER));
    if (Message == WM_TIMER && WParam == kPortWatchTimer && run != nullptr) {
        FollowPorts(Dialog, *run);
        return TRUE;
    }
    if (Message == WM_COMMAND && run != nullptr) {
        const int id = LOWORD(WParam);
        if (id == IDOK)
            TakePicks(Dialog, *run);
        if (id == IDOK || id == IDCANCEL) {
            KillTimer(Dialog, kPortWatchTimer);
            EndDialog(Dialog, id);
        }
        return TRUE;
    }
    return FALSE;
}

// An empty dialog with its caption and font; the controls are made when it
// starts, from the rows.
std::vector<WORD> DialogTemplate()
{
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(words.data());
    header->style = DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    header->cx = 154;
    header->cy = 133;
    words.push_back(0); // no menu
    words.push_back(0); // the standard dialog class
    for (wchar_t c : std::wstring(L"Ustawienia"))
        words.push_back(static_cast<WORD>(c));
    words.push_back(0);
    words.push_back(8); // points
    for (wchar_t c : std::wstring(L"MS Shell Dlg"))
        words.push_back(static_cast<WORD>(c));
    words.push_back(0);
    return words;
}

} // namespace

void SetSetupDialogHook(TSetupDialogHook Hook_) { Hook() = std::move(Hook_); }

void ExecuteSetupDialog(TCustomComPort& Port)
{
    DialogRun run;
    run.Setup = std::make_unique<TComSetup>(Port);
    const std::vector<WORD> dialog = DialogTemplate();
    const INT_PTR result =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(dialog.data()),
                                GetActiveWindow(), &DialogProcedure, reinterpret_cast<LPARAM>(&run));
    if (result == -1)
        throw std::runtime_error("The setup dialog cannot be shown");
    if (result == IDOK)
        run.Setup->Apply(Port);
}

void InstallSetupDialog()
{
    TCustomComPort::SetSettingsDialog([](TCustomComPort& Port) { ExecuteSetupDialog(Port); });
}
