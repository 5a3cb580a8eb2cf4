#include "Prompts.h"

#include <commdlg.h>

#include "MeterTexts.h"
#include "ReportQueue.h"
#include <velt/comport/framework/MainThreadQueue.h>
#include <velt/comport/platform/WideText.h>

namespace {

const std::wstring kApplicationTitle = WideFromUtf8(meter_text::kApplicationTitle);

TMessageBoxHook& MessageBoxHook()
{
    static TMessageBoxHook hook;
    return hook;
}

TSaveFileHook& SaveFileHook()
{
    static TSaveFileHook hook;
    return hook;
}

HWND& ReportOwner()
{
    static HWND owner = nullptr;
    return owner;
}

// Made on the main thread, by the first install. A report from another
// thread reaches the main thread through the component's hand-over, which
// the message loop (and a box's own loop) serves.
ReportQueue& Reports()
{
    static ReportQueue queue(
        [](const std::string& Text) {
            ShowMessageBox(ReportOwner(), WideFromUtf8(Text), kApplicationTitle, MB_OK | MB_ICONERROR);
        },
        [] { MainThreadQueue::Instance().RunOnMainUntilStarted([] { Reports().ShowWaiting(); }); });
    return queue;
}

} // namespace

void SetMessageBoxHook(TMessageBoxHook Hook) { MessageBoxHook() = std::move(Hook); }

void SetSaveFileHook(TSaveFileHook Hook) { SaveFileHook() = std::move(Hook); }

std::wstring Wide(const char* Utf8) { return WideFromUtf8(Utf8); }

void ShowMessageBox(HWND Owner, const std::wstring& Text, const std::wstring& Caption, UINT Flags)
{
    if (MessageBoxHook()) {
        MessageBoxHook()(TMessageBoxRequest{Text, Caption, Flags});
        return;
    }
    MessageBoxW(Owner, Text.c_str(), Caption.c_str(), Flags);
}

std::wstring AskSaveFileName(HWND Owner)
{
    if (SaveFileHook())
        return SaveFileHook()();
    static const wchar_t kFilter[] = L"Pliki tekstowe (*.txt)\0*.txt\0";
    std::wstring name(MAX_PATH * 4, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Owner;
    dialog.lpstrFilter = kFilter;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog))
        return {};
    name.resize(wcslen(name.c_str()));
    return name;
}

void InstallExceptionReportBox(HWND Owner)
{
    ReportOwner() = Owner;
    ReportQueue::Install(&Reports());
}
