#pragma once
// Debian's Qt is built without exception support: an exception unwinding
// through Qt's frames ends the program. Every handler the program connects
// therefore runs inside RunGuarded, which hands any exception to the
// framework's exception report and returns normally; the application's
// notify() override catches whatever still gets that far.
#include <QApplication>
#include <functional>

// Runs Body; an exception leaving it goes to ReportException.
void RunGuarded(const std::function<void()>& Body) noexcept;

// A callable for connect() that runs (Object->*Handler)() guarded; it takes
// no arguments, so Qt drops those of the signal (clicked's "checked").
template <typename Receiver>
auto Guarded(Receiver* Object, void (Receiver::*Handler)())
{
    return [Object, Handler] { RunGuarded([&] { (Object->*Handler)(); }); };
}

class TVeltApplication : public QApplication {
public:
    TVeltApplication(int& Argc, char** Argv);
    bool notify(QObject* Receiver, QEvent* Event) override;
};
