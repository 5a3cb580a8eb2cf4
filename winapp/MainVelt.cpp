// The window itself: creating it with its controls, timers and the program,
// the layout, and the messages it handles, forwarded to the program.
#include "MainVelt.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <stdexcept>

#include "LineLogWindow.h"
#include "MeterProgram.h"
#include "MeterRequests.h"
#include "Prompts.h"
#include "RichPane.h"
#include "WinMeterTimer.h"

namespace {

constexpr const wchar_t* kWindowClass = L"VeltMainWindow";
constexpr const wchar_t* kCaption = L"Velt v.4.1";

// The form's sizes in pixels at 96 dots per inch.
constexpr int kPanelWidth = 180;
constexpr int kPanelMinHeight = 460;
constexpr int kMinWindowWidth = 370;
// The status line's height: three lines of the dialog font.
constexpr int kStatusHeight = 42;
constexpr RECT kRestoredBounds = {269, 90, 269 + 541, 90 + 494};

constexpr UINT_PTR kIdleTimerId = 1;
constexpr UINT_PTR kWatchdogTimerId = 2;
constexpr UINT_PTR kHandshakeTimerId = 3;

// A control of the panel: where it sits on the panel, in creation (and so
// tab) order. A command button's caption comes from the command table.
struct PanelControl {
    TControl Id;
    const wchar_t* Class;
    const wchar_t* Text;
    DWORD Style;
    int Left, Top, Width, Height;
};

constexpr DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kLabel = WS_CHILD | WS_VISIBLE | SS_LEFT;

const std::array<PanelControl, 13>& PanelControls()
{
    static const std::array<PanelControl, 13> controls = {{
        {TControl::bUstawienia, WC_BUTTONW, L"", kButton, 45, 15, 101, 25},
        {TControl::Label2, WC_STATICW, L"Numer pomiaru:", kLabel, 45, 50, 101, 14},
        {TControl::SpinEdit1, WC_EDITW, L"1", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_NUMBER | ES_LEFT, 45, 65, 101,
         22},
        {TControl::SpinArrows, UPDOWN_CLASSW, L"",
         WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 0, 0},
        {TControl::bPomZPam, WC_BUTTONW, L"", kButton, 45, 95, 101, 25},
        {TControl::bOstatniPom, WC_BUTTONW, L"", kButton, 45, 130, 101, 25},
        {TControl::bWszystPom, WC_BUTTONW, L"", kButton, 45, 175, 101, 25},
        {TControl::bCzyscEkran, WC_BUTTONW, L"", kButton, 45, 220, 101, 25},
        {TControl::bKopiujDoSchowka, WC_BUTTONW, L"", kButton, 45, 265, 101, 25},
        {TControl::bZapiszDoPliku, WC_BUTTONW, L"", kButton, 45, 310, 101, 25},
        {TControl::bUstawZegar, WC_BUTTONW, L"", kButton, 45, 355, 101, 25},
        {TControl::lTransmisja, WC_STATICW, L"Transmisja danych", WS_CHILD | SS_LEFT, 25, 405, 140, 20},
        {TControl::pb, PROGRESS_CLASSW, L"", WS_CHILD, 20, 430, 150, 17},
    }};
    return controls;
}

std::wstring TextOf(const PanelControl& Control)
{
    for (const CommandButton& button : CommandButtons())
        if (button.ControlId == static_cast<int>(Control.Id))
            return Wide(button.Caption);
    return Control.Text;
}

CalendarTime LocalClock()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

} // namespace

void PrepareWindowClasses()
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
    if (!InitCommonControlsEx(&controls))
        throw std::runtime_error("The system's common controls cannot be loaded");
    if (!rich_pane::LoadControlLibrary())
        throw std::runtime_error("The system's rich-text control (msftedit.dll) cannot be loaded");
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TForm1::Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"VELT");
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::runtime_error("The main window's class cannot be registered");
}

// ---- Creation and end -------------------------------------------------------

TForm1::TForm1(SettingsPlaces Places) : Clock(&LocalClock), FPlaces(std::move(Places)), FDpi(ScreenDpi())
{
    PrepareWindowClasses();
    const RECT bounds = kRestoredBounds;
    // WM_CREATE (inside) creates the controls.
    CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, kCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                    Scaled(bounds.left), Scaled(bounds.top), Scaled(bounds.right - bounds.left),
                    Scaled(bounds.bottom - bounds.top), nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (FWindow == nullptr)
        throw std::runtime_error("The main window cannot be created");
    CreateProgram();
    ACCEL lineLogKey{FCONTROL | FVIRTKEY, 'L', kLineLogCommand};
    FKeys = CreateAcceleratorTableW(&lineLogKey, 1);
    FProgram->Start();
}

TForm1::~TForm1()
{
    FLineLogWindow.reset();
    if (FWindow != nullptr)
        DestroyWindow(FWindow);
    FProgram.reset();
    if (FKeys != nullptr)
        DestroyAcceleratorTable(FKeys);
    if (FFont != nullptr)
        DeleteObject(FFont);
    if (FTransferFont != nullptr)
        DeleteObject(FTransferFont);
}

void TForm1::CreateProgram()
{
    tOdbieranie = std::make_unique<WinMeterTimer>(FWindow, kIdleTimerId, kIdleIntervalMs);
    tMiernikPodlaczony = std::make_unique<WinMeterTimer>(FWindow, kWatchdogTimerId, kWatchdogIntervalMs);
    tUstawZegar = std::make_unique<WinMeterTimer>(FWindow, kHandshakeTimerId, kHandshakeIntervalMs);
    FProgram = std::make_unique<MeterProgram>(
        static_cast<ProgramWindow&>(*this), MeterTimers{*tOdbieranie, *tMiernikPodlaczony, *tUstawZegar},
        [this] { return Clock(); }, FPlaces);
    ComPort = &FProgram->Port();
}

int TForm1::Scaled(int Pixels) const { return MulDiv(Pixels, FDpi, 96); }

// Its own style, not IsWindowVisible: the window may be hidden itself.
bool TForm1::StatusShown() const
{
    return (GetWindowLongPtrW(Control(TControl::lStatus), GWL_STYLE) & WS_VISIBLE) != 0;
}

void TForm1::CreateControls()
{
    // The dialog font at 8 points, and the transfer label's larger one.
    FFont = CreateFontW(-MulDiv(8, FDpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                        CLEARTYPE_QUALITY, 0, L"MS Shell Dlg 2");
    FTransferFont = CreateFontW(-Scaled(16), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                                CLEARTYPE_QUALITY, 0, L"MS Shell Dlg 2");
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND memo = CreateWindowExW(WS_EX_CLIENTEDGE, rich_pane::ClassName(), L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                                    ES_WANTRETURN | ES_NOHIDESEL,
                                0, 0, 0, 0, FWindow, reinterpret_cast<HMENU>(TControl::Memo), instance, nullptr);
    SendMessageW(memo, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
    rich_pane::UseCentralEuropeanText(memo);
    for (const PanelControl& control : PanelControls()) {
        const DWORD sunken = control.Id == TControl::SpinEdit1 ? WS_EX_CLIENTEDGE : 0;
        HWND child = CreateWindowExW(sunken, control.Class, TextOf(control).c_str(), control.Style, 0, 0, 0, 0, FWindow,
                                     reinterpret_cast<HMENU>(control.Id), instance, nullptr);
        const HFONT font = control.Id == TControl::lTransmisja ? FTransferFont : FFont;
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    HWND status = CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, FWindow,
                                  reinterpret_cast<HMENU>(TControl::lStatus), instance, nullptr);
    SendMessageW(status, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
    HWND arrows = Control(TControl::SpinArrows);
    SendMessageW(arrows, UDM_SETRANGE32, kFirstMeasurement, kLastMeasurement);
    SendMessageW(arrows, UDM_SETPOS32, 0, kFirstMeasurement);
    SendMessageW(Control(TControl::pb), PBM_SETRANGE32, 0, kProgressMaximum);
    PlaceControls();
}

// The pane takes every change of width; the panel keeps its width at the
// right edge. A status line shown takes the bottom of the pane's column.
void TForm1::PlaceControls()
{
    RECT client{};
    GetClientRect(FWindow, &client);
    const int panelLeft = std::max(0L, client.right - Scaled(kPanelWidth));
    const int statusHeight = StatusShown() ? Scaled(kStatusHeight) : 0;
    const int paneHeight = std::max(0L, client.bottom - statusHeight);
    MoveWindow(Control(TControl::Memo), 0, 0, panelLeft, paneHeight, TRUE);
    MoveWindow(Control(TControl::lStatus), Scaled(3), paneHeight + Scaled(3), std::max(0, panelLeft - Scaled(6)),
               std::max(0, statusHeight - Scaled(6)), TRUE);
    for (const PanelControl& control : PanelControls()) {
        if (control.Id == TControl::SpinArrows)
            continue;
        MoveWindow(Control(control.Id), panelLeft + Scaled(control.Left), Scaled(control.Top), Scaled(control.Width),
                   Scaled(control.Height), TRUE);
    }
    // The arrows sit inside the number field's right edge.
    SendMessageW(Control(TControl::SpinArrows), UDM_SETBUDDY, reinterpret_cast<WPARAM>(Control(TControl::SpinEdit1)),
                 0);
}

// The port closes with the window; hand-overs still in flight must no longer
// reach a window that is going.
void TForm1::Destroyed()
{
    if (FProgram)
        FProgram->Shutdown();
    if (FQuitWhenDestroyed)
        PostQuitMessage(0);
}

// ---- Messages ---------------------------------------------------------------

LRESULT CALLBACK TForm1::Procedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)
{
    if (Message == WM_NCCREATE) {
        auto* form = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams);
        form->FWindow = Window;
        SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcW(Window, Message, WParam, LParam);
    if (Message == WM_NCDESTROY) {
        SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
        form->FWindow = nullptr;
        return DefWindowProcW(Window, Message, WParam, LParam);
    }
    return form->Handle(Message, WParam, LParam);
}

LRESULT TForm1::Handle(UINT Message, WPARAM WParam, LPARAM LParam)
{
    switch (Message) {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_SIZE:
        PlaceControls();
        return 0;
    case WM_GETMINMAXINFO: {
        RECT frame{0, 0, Scaled(kMinWindowWidth), Scaled(kPanelMinHeight)};
        AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
        auto* limits = reinterpret_cast<MINMAXINFO*>(LParam);
        limits->ptMinTrackSize.x = Scaled(kMinWindowWidth);
        limits->ptMinTrackSize.y = frame.bottom - frame.top;
        return 0;
    }
    case WM_COMMAND:
        Command(LOWORD(WParam), HIWORD(WParam));
        return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(WParam) != Control(TControl::Memo))
            return DefWindowProcW(FWindow, Message, WParam, LParam);
        ShowPaneMenu(LParam);
        return 0;
    case WM_TIMER:
        Timer(WParam);
        return 0;
    case WM_CTLCOLORSTATIC: {
        auto* device = reinterpret_cast<HDC>(WParam);
        SetBkColor(device, GetSysColor(COLOR_BTNFACE));
        if (reinterpret_cast<HWND>(LParam) == Control(TControl::lTransmisja))
            SetTextColor(device, RGB(255, 0, 0));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CLOSE:
        FProgram->StoreSettings();
        DestroyWindow(FWindow);
        return 0;
    case WM_DESTROY:
        Destroyed();
        return 0;
    default:
        return DefWindowProcW(FWindow, Message, WParam, LParam);
    }
}

void TForm1::Command(int Id, int Notification)
{
    if (Id == kLineLogCommand && FProgram) { // the menu item or the key
        FProgram->ShowLineLog();
        return;
    }
    if (Id == static_cast<int>(TControl::SpinEdit1) && Notification == EN_KILLFOCUS && FProgram) {
        KeepNumberInRange();
        return;
    }
    if (Notification != BN_CLICKED || !FProgram)
        return;
    for (const CommandButton& button : CommandButtons())
        if (button.ControlId == Id)
            FProgram->Run(button.Command);
}

void TForm1::Timer(UINT_PTR Id)
{
    if (!FProgram)
        return;
    if (Id == kIdleTimerId)
        FProgram->IdleTick();
    else if (Id == kWatchdogTimerId)
        FProgram->WatchdogTick();
    else if (Id == kHandshakeTimerId)
        FProgram->HandshakeTick();
}

bool TForm1::TranslateKey(MSG& Message) const
{
    return FWindow != nullptr && FKeys != nullptr && TranslateAcceleratorW(FWindow, FKeys, &Message) != 0;
}

// The pane's menu at the mouse, or at the pane's corner when the keyboard asked.
void TForm1::ShowPaneMenu(LPARAM ScreenPoint)
{
    POINT at{GET_X_LPARAM(ScreenPoint), GET_Y_LPARAM(ScreenPoint)};
    if (ScreenPoint == -1) {
        at = {0, 0};
        ClientToScreen(Control(TControl::Memo), &at);
    }
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, kLineLogCommand, L"Dziennik transmisji…\tCtrl+L");
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, FWindow, nullptr);
    DestroyMenu(menu);
}

HWND TForm1::LineLogHandle() const { return FLineLogWindow ? FLineLogWindow->Handle() : nullptr; }

void TForm1::ShowLineLog(const std::string& Text)
{
    if (!FLineLogWindow)
        FLineLogWindow = std::make_unique<LineLogWindow>(
            FWindow, [this](const std::filesystem::path& File, const std::string& Saved) {
                FProgram->SaveLineLog(File, Saved);
            });
    FLineLogWindow->ShowText(Text);
}

// The field keeps its value within its range when it loses the focus.
void TForm1::KeepNumberInRange()
{
    SendMessageW(Control(TControl::SpinArrows), UDM_SETPOS32, 0, FProgram->MeasurementNumber());
}
