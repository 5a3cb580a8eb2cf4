#include <velt/comport/ui/QtHandOver.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>

#include <velt/comport/framework/MainThreadQueue.h>

namespace {

const char* const kReceiverName = "veltMainThreadHandOver";

// Lives on the GUI thread as a child of the application object: calls
// queued to it run inside Qt's event loop. When it goes (with the
// application), the queue stops posting to it.
class HandOverReceiver : public QObject {
public:
    explicit HandOverReceiver(QObject* Parent) : QObject(Parent) { setObjectName(kReceiverName); }
    ~HandOverReceiver() override { MainThreadQueue::Instance().SetWakeup({}); }
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
        QMetaObject::invokeMethod(receiver, [] { MainThreadQueue::Instance().Drain(); }, Qt::QueuedConnection);
    });
}
