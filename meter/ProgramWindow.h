#pragma once
// What the program asks of a window: draw its state, hold the pane's text,
// show a box, and the two commands that are the window's own business (the
// clipboard and the save dialog). Texts are UTF-16 with "\n" line breaks in
// the pane, UTF-8 in boxes.
#include <cstdint>
#include <filesystem>
#include <string>

#include "ProgramState.h"

enum class BoxKind {
    Error,       // error icon
    Information, // no icon
};

struct ProgramBox {
    BoxKind Kind = BoxKind::Error;
    std::string Text;
    std::string Caption;
};

class ProgramWindow {
public:
    virtual ~ProgramWindow() = default;

    virtual void Draw(const ProgramState& State) = 0;
    virtual std::u16string PaneText() const = 0;
    virtual void SetPaneText(const std::u16string& Text) = 0;
    // The measurement number field's text.
    virtual std::u16string NumberText() const = 0;
    // A modal box with an OK button; returns when it is closed.
    virtual void ShowBox(const ProgramBox& Box) = 0;
    // Copies the whole pane to the clipboard.
    virtual void CopyPane() = 0;
    // The save dialog: the chosen file, or an empty path when cancelled.
    virtual std::filesystem::path AskSaveFileName() = 0;
    // The pane's content as a Rich Text Format document.
    virtual std::string PaneRtf() const = 0;
    // The operator chooses the meter's port: the setup dialog opens, as its
    // button opens it; returns when it is closed, telling whether the
    // operator confirmed it.
    virtual bool ChoosePort() = 0;
    // Shows the recent line log (UTF-8 text, one line per record) in a
    // window of its own, with "Zapisz…" (MeterProgram::SaveLineLog) and
    // "Kopiuj"; returns at once or when it is closed.
    virtual void ShowLineLog(const std::string& /*Text*/) {}
    // What to tell an account that may not use the port; empty: nothing.
    virtual std::string AccessAdvice() const { return {}; }
};
