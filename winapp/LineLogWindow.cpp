#include "LineLogWindow.h"

#include <commctrl.h>

#include <cstring>
#include <stdexcept>

#include "Prompts.h"
#include <velt/comport/platform/WideText.h>

namespace {

constexpr const wchar_t* kWindowClass = L"VeltLineLogWindow";
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 25;
constexpr int kMargin = 8;

void RegisterWindowClass(WNDPROC Procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::runtime_error("The line log window's class cannot be registered");
}

// The edit control breaks lines at "\r\n".
std::wstring EditText(const std::string& Utf8)
{
    std::wstring text;
    for (wchar_t c : WideFromUtf8(Utf8)) {
        if (c == L'\n')
            text += L'\r';
        text += c;
    }
    return text;
}

} // namespace

LineLogWindow::LineLogWindow(HWND Owner, SaveText Save) : FOwner(Owner), FSave(std::move(Save)) {}

LineLogWindow::~LineLogWindow()
{
    if (FWindow != nullptr)
        DestroyWindow(FWindow);
    if (FFont != nullptr)
        DeleteObject(FFont);
    if (FTextFont != nullptr)
        DeleteObject(FTextFont);
}

void LineLogWindow::Create()
{
    RegisterWindowClass(&LineLogWindow::Procedure);
    CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, L"Dziennik transmisji", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                    CW_USEDEFAULT, 760, 420, FOwner, nullptr, GetModuleHandleW(nullptr), this);
    if (FWindow == nullptr)
        throw std::runtime_error("The line log window cannot be created");
    HINSTANCE instance = GetModuleHandleW(nullptr);
    FFont = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0,
                        L"MS Shell Dlg 2");
    // One record a line, in columns: a fixed-pitch font.
    FTextFont = CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY,
                            FIXED_PITCH | FF_MODERN, L"Consolas");
    HWND text = CreateWindowExW(WS_EX_CLIENTEDGE, WC_EDITW, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                    ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                                0, 0, 0, 0, FWindow, reinterpret_cast<HMENU>(kText), instance, nullptr);
    SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(FTextFont), FALSE);
    const struct {
        int Id;
        const wchar_t* Caption;
    } buttons[] = {{kSave, L"Zapisz…"}, {kCopy, L"Kopiuj"}, {IDCANCEL, L"Zamknij"}};
    for (const auto& button : buttons) {
        HWND control =
            CreateWindowExW(0, WC_BUTTONW, button.Caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0, FWindow,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.Id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont), FALSE);
    }
    Place();
}

// The text takes the window; the buttons sit in a row at its bottom right.
void LineLogWindow::Place()
{
    RECT client{};
    GetClientRect(FWindow, &client);
    const int buttonsTop = client.bottom - kMargin - kButtonHeight;
    MoveWindow(GetDlgItem(FWindow, kText), kMargin, kMargin, client.right - 2 * kMargin, buttonsTop - 2 * kMargin,
               TRUE);
    int left = client.right - kMargin - 3 * kButtonWidth - 2 * kMargin;
    for (int id : {static_cast<int>(kSave), static_cast<int>(kCopy), IDCANCEL}) {
        MoveWindow(GetDlgItem(FWindow, id), left, buttonsTop, kButtonWidth, kButtonHeight, TRUE);
        left += kButtonWidth + kMargin;
    }
}

void LineLogWindow::ShowText(const std::string& Text)
{
    if (FWindow == nullptr)
        Create();
    FText = Text;
    HWND text = GetDlgItem(FWindow, kText);
    SetWindowTextW(text, EditText(Text).c_str());
    SendMessageW(text, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    SendMessageW(text, EM_SCROLLCARET, 0, 0);
    ShowWindow(FWindow, SW_SHOW);
    SetForegroundWindow(FWindow);
}

void LineLogWindow::Save()
{
    const std::wstring name = AskSaveFileName(FWindow);
    if (!name.empty())
        FSave(std::filesystem::path(name), FText);
}

// The text as the system's Unicode text; a clipboard that cannot be had
// leaves things as they were.
void LineLogWindow::Copy()
{
    const std::wstring text = EditText(FText);
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr)
        return;
    if (void* target = GlobalLock(memory)) {
        std::memcpy(target, text.c_str(), bytes);
        GlobalUnlock(memory);
    }
    if (!OpenClipboard(FWindow)) {
        GlobalFree(memory);
        return;
    }
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
        GlobalFree(memory);
    CloseClipboard();
}

LRESULT CALLBACK LineLogWindow::Procedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam)
{
    if (Message == WM_NCCREATE) {
        auto* window = static_cast<LineLogWindow*>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams);
        window->FWindow = Window;
        SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    auto* window = reinterpret_cast<LineLogWindow*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
    if (window == nullptr)
        return DefWindowProcW(Window, Message, WParam, LParam);
    if (Message == WM_NCDESTROY) {
        SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
        window->FWindow = nullptr;
        return DefWindowProcW(Window, Message, WParam, LParam);
    }
    return window->Handle(Message, WParam, LParam);
}

LRESULT LineLogWindow::Handle(UINT Message, WPARAM WParam, LPARAM LParam)
{
    switch (Message) {
    case WM_SIZE:
        Place();
        return 0;
    case WM_COMMAND:
        if (LOWORD(WParam) == kSave)
            Save();
        else if (LOWORD(WParam) == kCopy)
            Copy();
        else if (LOWORD(WParam) == IDCANCEL)
            ShowWindow(FWindow, SW_HIDE);
        return 0;
    case WM_CLOSE: // kept for the next time, hidden
        ShowWindow(FWindow, SW_HIDE);
        return 0;
    default:
        return DefWindowProcW(FWindow, Message, WParam, LParam);
    }
}
