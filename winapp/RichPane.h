#pragma once
// The text pane: the system's rich-text edit control (msftedit.dll), spoken
// to in UTF-16. The control keeps one "\r" per line break.
#include <windows.h>

#include <string>

namespace rich_pane {

// Loads the control's library once; false when the system lacks it.
bool LoadControlLibrary();
// The control's window class.
const wchar_t* ClassName();
// The meter's text is Windows-1250: the pane's characters carry that
// character set, so that its RTF keeps them as the code page's bytes.
void UseCentralEuropeanText(HWND Pane);

void SetText(HWND Pane, const std::wstring& Text);
std::wstring Text(HWND Pane);
// Selects the whole text and copies it as the control does (rich and plain text).
void CopyAll(HWND Pane);
// The whole content as the control writes it in Rich Text Format.
std::string Rtf(HWND Pane);

} // namespace rich_pane
