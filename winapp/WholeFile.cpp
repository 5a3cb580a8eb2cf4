#include "WholeFile.h"

#include <windows.h>

#include <stdexcept>

#include "WideText.h"

namespace {

std::string SystemMessage(DWORD Error)
{
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, Error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length > 0 ? std::wstring(text, length) : L"error " + std::to_wstring(Error);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return Utf8FromWide(message);
}

[[noreturn]] void Fail(const std::wstring& Name)
{
    const DWORD error = GetLastError();
    throw std::runtime_error("Cannot write the file " + Utf8FromWide(Name) + ": " + SystemMessage(error));
}

} // namespace

void WriteWholeFile(const std::wstring& Name, const std::string& Bytes)
{
    HANDLE file = CreateFileW(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        Fail(Name);
    DWORD written = 0;
    const bool wrote =
        WriteFile(file, Bytes.data(), static_cast<DWORD>(Bytes.size()), &written, nullptr) && written == Bytes.size();
    if (!wrote) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        SetLastError(error);
        Fail(Name);
    }
    if (!CloseHandle(file))
        Fail(Name);
}
