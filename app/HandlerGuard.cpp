#include "HandlerGuard.h"

#include <velt/comport/framework/ExceptionReport.h>

void RunGuarded(const std::function<void()>& Body) noexcept
{
    try {
        Body();
    } catch (...) {
        ReportException(std::current_exception());
    }
}

TVeltApplication::TVeltApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TVeltApplication::notify(QObject* Receiver, QEvent* Event)
{
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        ReportException(std::current_exception());
        return false;
    }
}
