// The hidden window of the window hand-over: a message-only window of the
// thread that opens the port. The event thread sends it the events of each
// wait, as their mask, with one SendMessage; its procedure releases the
// sender with ReplyMessage before the handlers run, one event after another. The main thread handles sent messages in
// its message loop and also while it waits for an event thread to end (LoopWait), so a send in flight never blocks a
// close.
#include "NotifyWindow.h"

#include <windows.h>

#include <stdexcept>

#include <velt/comport/framework/ExceptionReport.h>

namespace {

// The window's private message: the events of one wait (their mask) in wParam, 0 in lParam.
constexpr UINT kComPortEventMessage = WM_USER + 1;
constexpr const wchar_t* kClassName = L"VeltComPortNotify";

} // namespace

struct NotifyWindow::Window {
    std::function<void(uint32_t)> Handle;
    HWND Hwnd = nullptr;

    static LRESULT CALLBACK Procedure(HWND Hwnd, UINT Message, WPARAM WParam, LPARAM LParam);
    static void RegisterClassOnce();
};

LRESULT CALLBACK NotifyWindow::Window::Procedure(HWND Hwnd, UINT Message, WPARAM WParam, LPARAM LParam)
{
    if (Message != kComPortEventMessage)
        return DefWindowProcW(Hwnd, Message, WParam, LParam);
    // The event thread runs on (next code, next wait) while the handler runs.
    if (InSendMessage())
        ReplyMessage(0);
    auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(Hwnd, GWLP_USERDATA));
    if (window == nullptr)
        return 0;
    try {
        window->Handle(static_cast<uint32_t>(WParam));
    } catch (...) {
        // Nothing may unwind through the system's frames.
        ReportException(std::current_exception());
    }
    return 0;
}

void NotifyWindow::Window::RegisterClassOnce()
{
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    if (!registered)
        throw std::runtime_error("Cannot register the port's notification window class");
}

NotifyWindow::NotifyWindow(std::function<void(uint32_t Code)> Handle)
    : FWindow(std::make_unique<Window>(Window{std::move(Handle), nullptr}))
{
    Window::RegisterClassOnce();
    FWindow->Hwnd =
        CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (FWindow->Hwnd == nullptr)
        throw std::runtime_error("Cannot create the port's notification window");
    SetWindowLongPtrW(FWindow->Hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(FWindow.get()));
}

NotifyWindow::~NotifyWindow()
{
    SetWindowLongPtrW(FWindow->Hwnd, GWLP_USERDATA, 0);
    DestroyWindow(FWindow->Hwnd);
}

void NotifyWindow::Send(uint32_t Code) { SendMessageW(FWindow->Hwnd, kComPortEventMessage, Code, 0); }

bool NotifyWindow::NeedsSendingThread() { return true; }
