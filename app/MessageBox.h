#pragma once
// Every message box of the program goes through here, so that a test can
// answer them without a modal box: it installs a hook that records the
// request and returns at once.
#include <QString>
#include <functional>

class QWidget;

enum class TMessageIcon { Error, None };

struct TMessageRequest {
    QString Text;
    QString Caption;
    TMessageIcon Icon;
};

using TMessageBoxHook = std::function<void(const TMessageRequest& Request)>;

// Replaces the real box; an empty hook brings the real one back.
void SetMessageBoxHook(TMessageBoxHook Hook);

// A modal box with one OK button; returns when the operator has closed it.
void ShowMessageBox(QWidget* Parent, const QString& Text, const QString& Caption, TMessageIcon Icon);
