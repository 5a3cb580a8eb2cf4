#include "WindowDriver.h"

#include <thread>

bool PumpUntil(const std::function<bool()>& Done, std::chrono::milliseconds Limit)
{
    const auto deadline = std::chrono::steady_clock::now() + Limit;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (Done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void PumpFor(std::chrono::milliseconds Time)
{
    PumpUntil([] { return false; }, Time);
}

std::wstring WindowText(HWND Window)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(Window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(Window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string ClipboardBytes(UINT Format)
{
    // Another program may hold the clipboard for a moment.
    bool opened = false;
    for (int attempt = 0; attempt < 50 && !opened; ++attempt) {
        opened = OpenClipboard(nullptr) != 0;
        if (!opened)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!opened)
        return {};
    std::string bytes;
    if (HANDLE data = GetClipboardData(Format)) {
        if (const void* locked = GlobalLock(data)) {
            bytes.assign(static_cast<const char*>(locked), GlobalSize(data));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return bytes;
}

namespace {

std::string Environment(const char* Name)
{
    char value[64] = {};
    const DWORD length = GetEnvironmentVariableA(Name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

} // namespace

std::string MeterPortName() { return Environment("VELT_TEST_PORT"); }

std::string SilentMeterPortName() { return Environment("VELT_SILENT_PORT"); }
