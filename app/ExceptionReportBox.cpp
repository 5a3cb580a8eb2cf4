#include "ExceptionReportBox.h"

#include <QApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <deque>
#include <stdexcept>

#include "MessageBox.h"
#include <velt/comport/framework/ExceptionReport.h>

namespace {

struct ReportState {
    QPointer<QWidget> Parent;
    bool Showing = false;
    std::deque<QString> Waiting;
    std::size_t Dropped = 0;
};

ReportState& State()
{
    static ReportState state;
    return state;
}

void ShowBox(const QString& Message)
{
    ShowMessageBox(State().Parent, Message, QApplication::applicationDisplayName(), TMessageIcon::Error);
}

QString DroppedNotice(std::size_t Count)
{
    return QStringLiteral("Pominięto dalsze komunikaty o błędach: %1.").arg(Count);
}

// Shows Message, then everything that queued up while its box was open.
void ShowWithFollowers(const QString& Message)
{
    ReportState& state = State();
    state.Showing = true;
    ShowBox(Message);
    while (!state.Waiting.empty()) {
        const QString next = state.Waiting.front();
        state.Waiting.pop_front();
        ShowBox(next);
    }
    if (state.Dropped > 0) {
        const std::size_t dropped = state.Dropped;
        state.Dropped = 0;
        ShowBox(DroppedNotice(dropped));
    }
    state.Showing = false;
}

} // namespace

void ShowExceptionReport(const QString& Message)
{
    ReportState& state = State();
    if (!state.Showing) {
        ShowWithFollowers(Message);
        return;
    }
    if (state.Waiting.size() < kMaxQueuedReports)
        state.Waiting.push_back(Message);
    else
        ++state.Dropped;
}

void InstallExceptionReportBox(QWidget* Parent)
{
    State().Parent = Parent;
    SetExceptionReportHandler([](const std::string& Message) {
        const QString text = QString::fromStdString(Message);
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr)
            throw std::runtime_error(Message); // no GUI: the framework prints it
        if (QThread::currentThread() == app->thread())
            ShowExceptionReport(text);
        else // boxes belong to the main thread
            QMetaObject::invokeMethod(
                app, [text] { ShowExceptionReport(text); }, Qt::QueuedConnection);
    });
}
