#include <velt/comport/ui/QtHandOver.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <map>

#include <velt/comport/framework/MainThreadQueue.h>

#include "HandleNotifier.h"

namespace {

const char* const kReceiverName = "veltMainThreadHandOver";

// Lives on the GUI thread as a child of the application object: calls
// queued to it run inside Qt's event loop, and it watches the component's
// waitable objects with the platform's notifiers, so that a port's line events are
// processed inside the loop without an event thread. When it goes (with the
// application), the queue stops posting to it and the ports opened later
// use event threads again.
class HandOverReceiver : public QObject, public MainLoopWatcher {
public:
    explicit HandOverReceiver(QObject* Parent) : QObject(Parent) { setObjectName(kReceiverName); }
    ~HandOverReceiver() override
    {
        MainThreadQueue& queue = MainThreadQueue::Instance();
        queue.SetWakeup({});
        if (queue.LoopWatcher() == this)
            queue.SetLoopWatcher(nullptr);
    }

    int Watch(platform::WaitHandle Handle, std::function<void()> Ready) override
    {
        const int id = FNextId++;
        // Every exception of Ready is caught where it is raised: none
        // unwinds through Qt's frames.
        FNotifiers[id] = NewHandleNotifier(Handle, this, std::move(Ready));
        return id;
    }

    void Unwatch(int Id) override
    {
        auto it = FNotifiers.find(Id);
        if (it == FNotifiers.end())
            return;
        // It may be the notifier whose signal is running now: disabled at
        // once, deleted when the loop is back in charge.
        if (QObject* notifier = it->second)
            RetireHandleNotifier(notifier);
        FNotifiers.erase(it);
    }

private:
    std::map<int, QPointer<QObject>> FNotifiers;
    int FNextId = 1;
};

} // namespace

void InstallQtHandOver()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || app->findChild<QObject*>(kReceiverName, Qt::FindDirectChildrenOnly) != nullptr)
        return;
    MainThreadQueue& queue = MainThreadQueue::Instance();
    queue.SetMainThread();
    auto* receiver = new HandOverReceiver(app);
    // Posting is safe from any thread. Drain catches every exception of the
    // calls it runs, so none unwinds through Qt's frames.
    queue.SetWakeup([receiver] {
        QMetaObject::invokeMethod(
            receiver, [] { MainThreadQueue::Instance().Drain(); }, Qt::QueuedConnection);
    });
    queue.SetLoopWatcher(receiver);
}
