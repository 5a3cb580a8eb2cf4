#include "HandleNotifier.h"

#include <QSocketNotifier>

QObject* NewHandleNotifier(platform::WaitHandle Handle, QObject* Parent, std::function<void()> Ready)
{
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(Handle), QSocketNotifier::Read, Parent);
    QObject::connect(notifier, &QSocketNotifier::activated, Parent, [Ready = std::move(Ready)] { Ready(); });
    return notifier;
}

void RetireHandleNotifier(QObject* Notifier)
{
    auto* notifier = static_cast<QSocketNotifier*>(Notifier);
    notifier->setEnabled(false);
    notifier->disconnect();
    notifier->deleteLater();
}
