#pragma once
// "Dziennik transmisji": the recent line log in a window of its own, with
// "Zapisz…" and "Kopiuj". It only shows the text; saving goes back to the
// program, which writes the file whole.
#include <QDialog>
#include <filesystem>
#include <functional>
#include <string>

class QPlainTextEdit;

class LineLogDialog : public QDialog {
    Q_OBJECT

public:
    // Save writes the shown text to the chosen file.
    using SaveText = std::function<void(const std::filesystem::path& File, const std::string& Text)>;
    LineLogDialog(QWidget* Parent, SaveText Save);

    // Shows Text (UTF-8), scrolled to its end, the newest record.
    void ShowText(const std::string& Text);

private:
    void Save();
    void Copy();

    QPlainTextEdit* FText = nullptr;
    SaveText FSave;
};
