#pragma once
// "Dziennik transmisji" on Windows: the recent line log in a window of its
// own, owned by the main window, with "Zapisz…", "Kopiuj" and "Zamknij". It
// only shows the text; saving goes back to the program, which writes the
// file whole.
#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>

class LineLogWindow {
public:
    using SaveText = std::function<void(const std::filesystem::path& File, const std::string& Text)>;
    // The control ids of the window, for tests.
    enum : int { kText = 200, kSave, kCopy };

    LineLogWindow(HWND Owner, SaveText Save);
    ~LineLogWindow();
    LineLogWindow(const LineLogWindow&) = delete;
    LineLogWindow& operator=(const LineLogWindow&) = delete;

    // Shows Text (UTF-8, "\n" line ends), scrolled to its end, the newest
    // record; creates the window the first time.
    void ShowText(const std::string& Text);
    HWND Handle() const { return FWindow; }

private:
    static LRESULT CALLBACK Procedure(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
    LRESULT Handle(UINT Message, WPARAM WParam, LPARAM LParam);
    void Create();
    void Place();
    void Save();
    void Copy();

    HWND FOwner;
    SaveText FSave;
    HWND FWindow = nullptr;
    HFONT FFont = nullptr;
    HFONT FTextFont = nullptr;
    std::string FText;
};
