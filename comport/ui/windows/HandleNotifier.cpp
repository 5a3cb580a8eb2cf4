// A socket notifier watches sockets only on Windows; an event handle needs
// Qt's event notifier.
#include "HandleNotifier.h"

#include <QWinEventNotifier>
#include <cstdint>

QObject* NewHandleNotifier(platform::WaitHandle Handle, QObject* Parent, std::function<void()> Ready)
{
    auto* notifier = new QWinEventNotifier(reinterpret_cast<Qt::HANDLE>(static_cast<std::intptr_t>(Handle)), Parent);
    QObject::connect(notifier, &QWinEventNotifier::activated, Parent, [Ready = std::move(Ready)] { Ready(); });
    return notifier;
}

void RetireHandleNotifier(QObject* Notifier)
{
    auto* notifier = static_cast<QWinEventNotifier*>(Notifier);
    notifier->setEnabled(false);
    notifier->disconnect();
    notifier->deleteLater();
}
