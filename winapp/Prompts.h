#pragma once
// Every message box and the save dialog of the program go through here, so
// that a test can answer them without a modal window: it installs a hook
// that records the request and answers at once.
#include <windows.h>

#include <functional>
#include <string>

struct TMessageBoxRequest {
    std::wstring Text;
    std::wstring Caption;
    UINT Flags; // MB_* as MessageBox takes them
};

using TMessageBoxHook = std::function<void(const TMessageBoxRequest& Request)>;
// The file name a test chooses; empty: the operator cancelled.
using TSaveFileHook = std::function<std::wstring()>;

// Replace the real box and dialog; an empty hook brings the real one back.
void SetMessageBoxHook(TMessageBoxHook Hook);
void SetSaveFileHook(TSaveFileHook Hook);

// A modal box with one OK button.
void ShowMessageBox(HWND Owner, const std::wstring& Text, const std::wstring& Caption, UINT Flags);

// The system's save dialog with the filter "Pliki tekstowe (*.txt)" and the
// default extension "txt"; the chosen name, or empty when cancelled.
std::wstring AskSaveFileName(HWND Owner);

// Shows the exceptions that leave the program's handlers in the error box,
// captioned with the application's title, one at a time (see ReportQueue).
void InstallExceptionReportBox(HWND Owner);

// UTF-8 (the program's own texts) as the system's wide text.
std::wstring Wide(const char* Utf8);
