#include <velt/comport/ui/QtHandOver.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <map>
#include <set>
#include <vector>

#include <velt/comport/framework/MainThreadQueue.h>
#include <velt/comport/framework/ReadinessSet.h>
#include <velt/comport/framework/ReadinessWatcher.h>

#include "HandleNotifier.h"

namespace {

const char* const kReceiverName = "veltMainThreadHandOver";

// Lives on the GUI thread as a child of the application object: calls
// queued to it run inside Qt's event loop, and it watches the component's
// waitable objects, so that a port's line events are processed inside the
// loop without an event thread. Where the platform has a readiness set that
// is itself waitable (Linux), every watched object is a member of one set and
// Qt watches the set with ONE notifier: a wake-up costs the same with one
// port or many. Elsewhere each object has a notifier of its own. When it goes
// (with the application), the queue stops posting to it and the ports opened
// later use event threads again.
class HandOverReceiver : public QObject, public MainLoopWatcher {
public:
    explicit HandOverReceiver(QObject* Parent) : QObject(Parent), FSetWatches(FSet)
    {
        setObjectName(kReceiverName);
        platform::WaitHandle setHandle{};
        if (FSet.Waitable(setHandle))
            FSetNotifier = NewHandleNotifier(setHandle, this, [this] { OnSetSignalled(); });
    }
    ~HandOverReceiver() override
    {
        MainThreadQueue& queue = MainThreadQueue::Instance();
        queue.SetWakeup({});
        if (queue.LoopWatcher() == this)
            queue.SetLoopWatcher(nullptr);
    }

    // Every exception of Ready is caught where it is raised: none unwinds
    // through Qt's frames.
    int Watch(platform::WaitHandle Handle, std::function<void()> Ready) override
    {
        if (FSetNotifier != nullptr) {
            const int id = FSetWatches.Watch(Handle, std::move(Ready));
            FSetIds.insert(id);
            return id;
        }
        const int id = FNextId++;
        FNotifiers[id] = NewHandleNotifier(Handle, this, std::move(Ready));
        return id;
    }

    void Unwatch(int Id) override
    {
        if (FSetNotifier != nullptr) {
            FSetWatches.Unwatch(Id);
            FSetIds.erase(Id);
            return;
        }
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
    // Only looks: the set is level-triggered, and what a nested loop of a
    // handler finds signalled is served there (or rests, for the port whose
    // handler runs it). The keys are this call's own for that reason. A
    // watch alone in the set is the one signalled: no look into the set, so
    // one port costs what it cost with a notifier of its own (a call when
    // nothing is there finds nothing and delivers nothing).
    void OnSetSignalled()
    {
        std::vector<uint64_t> ready;
        if (FSetIds.size() == 1)
            ready.push_back(static_cast<uint64_t>(*FSetIds.begin()));
        else
            FSet.Wait(0, ready);
        FSetWatches.Dispatch(ready);
    }

    ReadinessSet FSet;
    ReadinessWatcher FSetWatches;
    QObject* FSetNotifier = nullptr;
    std::set<int> FSetIds;
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
