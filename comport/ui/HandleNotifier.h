#pragma once
// A Qt object that calls Ready on the GUI thread, inside Qt's event loop,
// while a waitable object of the platform is signalled: a descriptor on
// Linux (a socket notifier), an event handle on Windows (an event notifier).
#include <functional>

#include <velt/comport/platform/WaitHandle.h>

class QObject;

QObject* NewHandleNotifier(platform::WaitHandle Handle, QObject* Parent, std::function<void()> Ready);
// Stops it at once, also from inside its own Ready; it is deleted later.
void RetireHandleNotifier(QObject* Notifier);
