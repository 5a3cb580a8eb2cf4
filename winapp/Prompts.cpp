#include "Prompts.h"

#include <commdlg.h>

#include <deque>

#include "MeterTexts.h"
#include "WideText.h"
#include <velt/comport/framework/ExceptionReport.h>

namespace {

constexpr const wchar_t* kApplicationTitle = L"Velt";

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

struct ReportState {
    HWND Owner = nullptr;
    bool Showing = false;
    std::deque<std::wstring> Waiting;
};

ReportState& Reports()
{
    static ReportState state;
    return state;
}

// At most this many reports wait; more would only repeat the same failure.
constexpr size_t kMaxWaitingReports = 8;

void ShowReport(const std::string& Message)
{
    ReportState& state = Reports();
    if (state.Waiting.size() < kMaxWaitingReports)
        state.Waiting.push_back(WideFromUtf8(Message));
    if (state.Showing)
        return; // the box shown now shows this one next
    state.Showing = true;
    while (!state.Waiting.empty()) {
        const std::wstring text = state.Waiting.front();
        state.Waiting.pop_front();
        ShowMessageBox(state.Owner, text, kApplicationTitle, MB_OK | MB_ICONERROR);
    }
    state.Showing = false;
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

void ShowError(HWND Owner, const std::wstring& Text)
{
    ShowMessageBox(Owner, Text, Wide(meter_text::kErrorCaption), MB_OK | MB_ICONERROR);
}

void ShowMessage(HWND Owner, const std::wstring& Text) { ShowMessageBox(Owner, Text, kApplicationTitle, MB_OK); }

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
    Reports().Owner = Owner;
    SetExceptionReportHandler([](const std::string& Message) { ShowReport(Message); });
}
