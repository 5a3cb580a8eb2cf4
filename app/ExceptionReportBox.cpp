#include "ExceptionReportBox.h"

#include <QApplication>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include "MessageBox.h"
#include "ReportQueue.h"

namespace {

QPointer<QWidget>& Parent()
{
    static QPointer<QWidget> parent;
    return parent;
}

// Made on the main thread, by the first install.
ReportQueue& Queue()
{
    static ReportQueue queue(
        [](const std::string& Text) {
            ShowMessageBox(Parent(), QString::fromStdString(Text), QApplication::applicationDisplayName(),
                           TMessageIcon::Error);
        },
        [] {
            if (QCoreApplication* app = QCoreApplication::instance())
                QMetaObject::invokeMethod(
                    app, [] { Queue().ShowWaiting(); }, Qt::QueuedConnection);
        });
    return queue;
}

} // namespace

void InstallExceptionReportBox(QWidget* Parent)
{
    ::Parent() = Parent;
    ReportQueue::Install(&Queue());
}
