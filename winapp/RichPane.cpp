#include "RichPane.h"

#include <richedit.h>

#include <stdexcept>

namespace rich_pane {

bool LoadControlLibrary()
{
    static const HMODULE library = LoadLibraryW(L"msftedit.dll");
    return library != nullptr;
}

const wchar_t* ClassName() { return MSFTEDIT_CLASS; }

void UseCentralEuropeanText(HWND Pane)
{
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_CHARSET;
    format.bCharSet = EASTEUROPE_CHARSET;
    SendMessageW(Pane, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    SendMessageW(Pane, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
}

void SetText(HWND Pane, const std::wstring& Text)
{
    SETTEXTEX how{ST_DEFAULT, 1200}; // 1200: UTF-16
    SendMessageW(Pane, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(Text.c_str()));
}

std::wstring Text(HWND Pane)
{
    GETTEXTLENGTHEX lengthOf{GTL_PRECISE | GTL_NUMCHARS, 1200};
    const auto length = SendMessageW(Pane, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthOf), 0);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GETTEXTEX how{};
    how.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    how.flags = GT_DEFAULT;
    how.codepage = 1200;
    const auto copied =
        SendMessageW(Pane, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

void CopyAll(HWND Pane)
{
    SendMessageW(Pane, EM_SETSEL, 0, -1);
    SendMessageW(Pane, WM_COPY, 0, 0);
}

namespace {

DWORD CALLBACK AppendStreamed(DWORD_PTR Cookie, LPBYTE Bytes, LONG Count, LONG* Taken)
{
    auto* out = reinterpret_cast<std::string*>(Cookie);
    out->append(reinterpret_cast<const char*>(Bytes), static_cast<size_t>(Count));
    *Taken = Count;
    return 0;
}

} // namespace

std::string Rtf(HWND Pane)
{
    std::string out;
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&out);
    stream.pfnCallback = &AppendStreamed;
    SendMessageW(Pane, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    if (stream.dwError != 0)
        throw std::runtime_error("The text pane could not write its content as RTF");
    return out;
}

} // namespace rich_pane
