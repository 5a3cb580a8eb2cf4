// Velt for Windows: reads the measurements stored in a meter and sets its
// clock, in a window of the system's own controls.
#include <windows.h>

#include <exception>

#include "MainVelt.h"
#include <velt/comport/framework/MessageLoopHandOver.h>
#include "Prompts.h"
#include "SetupDialog.h"
#include <velt/comport/platform/WideText.h>

namespace {

// The message loop, with the window's keys and the keyboard's moves between
// the controls.
int RunMessageLoop(const TForm1& Form)
{
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (Form.TranslateKey(message))
            continue;
        HWND window = Form.Handle();
        if (window != nullptr && IsWindow(window) && IsDialogMessageW(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    try {
        InstallMessageLoopHandOver();
        InstallSetupDialog();
        InstallExceptionReportBox(nullptr);
        int result = 0;
        {
            TForm1 form;
            form.QuitWhenDestroyed();
            InstallExceptionReportBox(form.Handle());
            ShowWindow(form.Handle(), SW_SHOWMAXIMIZED);
            result = RunMessageLoop(form);
            InstallExceptionReportBox(nullptr);
        }
        RemoveMessageLoopHandOver();
        return result;
    } catch (const std::exception& error) {
        MessageBoxW(nullptr, WideFromUtf8(error.what()).c_str(), L"Velt", MB_OK | MB_ICONERROR);
        return 1;
    }
}
