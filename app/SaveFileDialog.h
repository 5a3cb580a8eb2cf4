#pragma once
// The save-file dialog, behind a hook for the same reason as the message
// boxes: a test names the file instead of a modal dialog asking for it.
#include <QString>
#include <functional>
#include <memory>

class QFileDialog;
class QWidget;

struct TSaveFileRequest {
    QString Filter;        // e.g. "Pliki tekstowe (*.txt)"
    QString DefaultSuffix; // added to a name typed without one
};

// Returns the chosen file name, or an empty string when the operator cancels.
using TSaveFileHook = std::function<QString(const TSaveFileRequest& Request)>;

void SetSaveFileHook(TSaveFileHook Hook);

QString AskSaveFileName(QWidget* Parent, const TSaveFileRequest& Request);

// The dialog AskSaveFileName runs, built but not shown.
std::unique_ptr<QFileDialog> NewSaveFileDialog(QWidget* Parent, const TSaveFileRequest& Request);
