// The main-thread hand-over queue and the port's event thread. The test body
// is the main thread and serves the queue itself; the recording fake stands
// in where only it can show a case (events raised at an exact moment, a
// failed wait), a pseudo-terminal everywhere else.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <cerrno>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <time.h>
#include <tuple>
#include <unistd.h>
#include <vector>

#include <velt/comport/ComPort.h>
#include "ComThread.h"
#include <velt/comport/framework/ExceptionReport.h>
#include <velt/comport/framework/MainThreadQueue.h>
#include "support/ComErrors.h"
#include "support/PseudoTerminal.h"
#include "support/RecordingPort.h"
#include "support/ThreadStats.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

MainThreadQueue& Queue() { return MainThreadQueue::Instance(); }

// Serves the hand-overs until Condition, which only main-thread handlers
// change, holds; false when the deadline passed.
bool Serve(const std::function<bool()>& Condition, std::chrono::milliseconds Deadline = 10s)
{
    return Queue().ServeUntil(Condition, Clock::now() + Deadline);
}

// The same for a condition that other threads change as well.
bool ServeAndWatch(const std::function<bool()>& Condition)
{
    return WaitUntil(
        [&] {
            Queue().Drain();
            return Condition();
        },
        10s);
}

// The exception reports, with the thread each was made on.
struct Reports {
    std::mutex Lock;
    std::vector<std::string> Messages;
    std::vector<std::thread::id> Threads;
    size_t Count()
    {
        std::lock_guard lock(Lock);
        return Messages.size();
    }
};

class EventThreadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Queue().SetMainThread();
        SetExceptionReportHandler([this](const std::string& Message) {
            std::lock_guard lock(FReports.Lock);
            FReports.Messages.push_back(Message);
            FReports.Threads.push_back(std::this_thread::get_id());
        });
    }
    void TearDown() override
    {
        Queue().Drain();
        SetExceptionReportHandler({});
    }
    Reports FReports;
};

// ---- The queue ------------------------------------------------------------------

TEST_F(EventThreadTest, RunOnMainRunsThereWaitsForTheCallAndCarriesItsException)
{
    std::thread::id ranOn;
    std::atomic<bool> senderDone{false};
    std::string caught;
    std::thread sender([&] {
        Queue().RunOnMain([&] { ranOn = std::this_thread::get_id(); });
        try {
            Queue().RunOnMain([] { throw std::runtime_error("from main"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        senderDone = true;
        Queue().WakeWaiters();
    });
    Queue().WaitWhileServing([&] { return senderDone.load(); });
    sender.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(caught, "from main");
    EXPECT_EQ(FReports.Count(), 0u);
}

TEST_F(EventThreadTest, RunOnMainUntilStartedReleasesTheSenderWhileTheCallRuns)
{
    std::atomic<bool> released{false};
    bool sawRelease = false;
    int wakeups = 0;
    Queue().SetWakeup([&] { ++wakeups; });
    std::thread sender([&] {
        Queue().RunOnMainUntilStarted([&] {
            // Only a released sender can set the flag this call waits for.
            sawRelease = WaitUntil([&] { return released.load(); }, 10s);
            throw std::runtime_error("escaped");
        });
        released = true;
    });
    ASSERT_TRUE(WaitUntil([] { return Queue().Queued() == 1; }, 10s));
    Queue().Drain();
    sender.join();
    Queue().SetWakeup({});
    EXPECT_TRUE(sawRelease);
    EXPECT_EQ(wakeups, 1);
    ASSERT_EQ(FReports.Count(), 1u);
    EXPECT_EQ(FReports.Messages[0], "escaped");
}

// ---- The event thread on the recording fake ----------------------------------------

class FakePort : public RecordingPort {
public:
    explicit FakePort(TComEvents Events = AllComEvents(), TSyncMethod Sync = smThreadSync)
    {
        SetEvents(Events);
        SetSyncMethod(Sync);
    }
    // The first argument of every call of this name, in order.
    std::vector<uint32_t> Arguments(const std::string& Name) const
    {
        std::vector<uint32_t> values;
        for (const auto& call : Log->Calls())
            if (call.Name == Name)
                values.push_back(call.Arguments.at(0));
        return values;
    }
    std::vector<uint32_t> MasksSet() const { return Arguments("SetEventMask"); }
};

TEST_F(EventThreadTest, MaskIsSetAtOpenAndClearedWithBothQueuesPurgedAtClose)
{
    FakePort port;
    port.Open();
    EXPECT_TRUE(port.EventThreadActive());
    port.SetEvents(TComEvents{evRing}); // takes effect at the next open only
    port.Close();
    EXPECT_EQ(port.MasksSet(), (std::vector<uint32_t>{0x05FF, 0}));
    // Close aborts the transfers first; the thread discards both queues last.
    EXPECT_EQ(port.Arguments("Purge"), (std::vector<uint32_t>{device::kPurgeTxAbort | device::kPurgeRxAbort,
                                                              device::kPurgeTxClear | device::kPurgeRxClear}));
    const auto names = port.Log->CallNames();
    EXPECT_EQ(std::vector<std::string>(names.end() - 2, names.end()),
              (std::vector<std::string>{"SetEventMask", "Purge"}));

    port.Open();
    port.Close();
    EXPECT_EQ(port.MasksSet(), (std::vector<uint32_t>{0x05FF, 0, 0x0100, 0}));
}

TEST_F(EventThreadTest, EmptyEventsStartNoThread)
{
    const size_t threadsBefore = DirectoryEntries("/proc/self/task").size();
    FakePort port(TComEvents{});
    port.Open();
    EXPECT_FALSE(port.EventThreadActive());
    EXPECT_EQ(DirectoryEntries("/proc/self/task").size(), threadsBefore);
    EXPECT_TRUE(port.MasksSet().empty());
    port.Close();
}

// Every handler notes its name and whether it ran on the main thread.
struct Recorder {
    std::mutex Lock;
    std::vector<std::string> Names;
    std::vector<bool> OnMain;
    void Note(const std::string& Name)
    {
        std::lock_guard lock(Lock);
        Names.push_back(Name);
        OnMain.push_back(Queue().IsMainThread());
    }
    size_t Count()
    {
        std::lock_guard lock(Lock);
        return Names.size();
    }
    void Attach(TCustomComPort& Port)
    {
        Port.OnError = [this](TComponent*, TComErrors) { Note("Error"); };
        Port.OnRxChar = [this](TComponent*, int32_t) { Note("RxChar"); };
        Port.OnTxEmpty = [this](TComponent*) { Note("TxEmpty"); };
        Port.OnBreak = [this](TComponent*) { Note("Break"); };
        Port.OnRing = [this](TComponent*) { Note("Ring"); };
        Port.OnCTSChange = [this](TComponent*, bool) { Note("CTS"); };
        Port.OnDSRChange = [this](TComponent*, bool) { Note("DSR"); };
        Port.OnRxFlag = [this](TComponent*) { Note("RxFlag"); };
        Port.OnRLSDChange = [this](TComponent*, bool) { Note("RLSD"); };
        Port.OnRx80Full = [this](TComponent*) { Note("Rx80Full"); };
    }
};

// Who waits for the line events: an event thread, or the main loop (here
// the test's own serving of the queue) with no thread at all.
enum class Waiter { Thread, MainLoop };

// Every case runs for each hand-over and each waiter: the loop-driven path
// must give handlers exactly what the thread path gives. With smNone an
// event thread waits either way.
class EveryHandOver : public EventThreadTest, public ::testing::WithParamInterface<std::tuple<TSyncMethod, Waiter>> {
protected:
    void SetUp() override
    {
        EventThreadTest::SetUp();
        if (Path() == Waiter::MainLoop)
            Queue().ServeAsMainLoop();
    }
    void TearDown() override
    {
        Queue().SetLoopWatcher(nullptr);
        EventThreadTest::TearDown();
    }
    static TSyncMethod Sync() { return std::get<0>(GetParam()); }
    static Waiter Path() { return std::get<1>(GetParam()); }
    // How many threads an open port adds: none where the loop waits.
    static size_t ThreadsOfAnOpenPort() { return Path() == Waiter::MainLoop && Sync() != smNone ? 0 : 1; }
};

TEST_P(EveryHandOver, OneWaitIsDeliveredInTheFixedOrderOnTheRightThread)
{
    FakePort port(AllComEvents(), Sync());
    port.Log->SetLineErrors(device::kCeFrame);
    port.Log->AddInput("abc");
    std::thread([] {}).join(); // the thread checker's own helper thread starts first
    const size_t threadsBefore = DirectoryEntries("/proc/self/task").size();
    port.Open();
    EXPECT_EQ(DirectoryEntries("/proc/self/task").size(), threadsBefore + ThreadsOfAnOpenPort());
    Recorder seen;
    seen.Attach(port); // after Open: the line report of the open is not wanted here
    port.Log->RaiseEvents(0x05FF);
    ASSERT_TRUE(ServeAndWatch([&] { return seen.Count() == 10; }));
    EXPECT_EQ(seen.Names, (std::vector<std::string>{"Error", "RxChar", "TxEmpty", "Break", "Ring", "CTS", "DSR",
                                                    "RxFlag", "RLSD", "Rx80Full"}));
    for (bool onMain : seen.OnMain)
        EXPECT_EQ(onMain, Sync() != smNone);
    port.Close();
}

// A handler that fails once must neither silence the port nor be lost: it is
// reported on the main thread and the next wait is delivered as usual.
TEST_P(EveryHandOver, AFailingHandlerIsReportedOnTheMainThreadAndEventsKeepComing)
{
    FakePort port(AllComEvents(), Sync());
    port.Open();
    std::atomic<int> rings{0}, fulls{0};
    port.OnRing = [&](TComponent*) {
        if (++rings == 1)
            throw std::runtime_error("handler failed");
    };
    port.OnRx80Full = [&](TComponent*) { ++fulls; };
    port.Log->RaiseEvents(device::kEvRing | device::kEvRx80Full);
    ASSERT_TRUE(ServeAndWatch([&] { return FReports.Count() == 1; }));
    EXPECT_EQ(FReports.Messages[0], "handler failed");
    // With smNone and no main loop the event thread reports by itself.
    EXPECT_EQ(FReports.Threads[0] == std::this_thread::get_id(), Sync() != smNone || Path() == Waiter::MainLoop);

    port.Log->RaiseEvents(device::kEvRing | device::kEvRx80Full);
    ASSERT_TRUE(ServeAndWatch([&] { return rings == 2 && fulls >= (Sync() == smWindowSync ? 2 : 1); }));
    // The window hand-over sends each event on its own, so the failure costs
    // nothing else; the other two end that wait's delivery.
    port.Close();
    EXPECT_EQ(fulls, Sync() == smWindowSync ? 2 : 1);
    EXPECT_EQ(FReports.Count(), 1u);
}

// Closing the port from its own handler would wait for the delivery that is
// running it (or join the event thread from itself): it is refused instead.
TEST_P(EveryHandOver, ClosingFromItsOwnHandlerIsRefusedUnlessTheSenderIsReleased)
{
    FakePort port(AllComEvents(), Sync());
    port.Open();
    std::atomic<bool> handled{false};
    port.OnRing = [&](TComponent*) {
        port.Close();
        handled = true;
    };
    port.Log->RaiseEvents(device::kEvRing);
    if (Sync() == smWindowSync) {
        // The window hand-over has released the event thread already.
        ASSERT_TRUE(ServeAndWatch([&] { return handled.load(); }));
        EXPECT_FALSE(port.Connected());
        return;
    }
    ASSERT_TRUE(ServeAndWatch([&] { return FReports.Count() == 1; }));
    EXPECT_EQ(FReports.Messages[0], PortErrorText(peThreadRunning));
    EXPECT_TRUE(port.Connected());
    port.Close();
}

// Close while events wait to be delivered (a hand-over queued, or the
// device's waitable object signalled for the loop): they are delivered during
// Close, after OnBeforeClose, with the port connected and the device open.
// (With smNone the event thread delivers at once, not during Close.)
class HandOverToMain : public EveryHandOver {};

TEST_P(HandOverToMain, CloseDeliversWhatIsPendingWithThePortStillOpen)
{
    FakePort port(AllComEvents(), Sync());
    port.Open();
    bool beforeClose = false;
    std::vector<std::string> duringRing;
    port.OnBeforeClose = [&](TComponent*) { beforeClose = true; };
    port.OnRing = [&](TComponent*) {
        duringRing = {beforeClose ? "after OnBeforeClose" : "before OnBeforeClose",
                      port.Connected() ? "connected" : "not connected",
                      port.Log->OpenDevices() == 1 ? "device open" : "device closed"};
    };
    port.Log->RaiseEvents(device::kEvRing);
    if (Path() == Waiter::Thread) {
        ASSERT_TRUE(WaitUntil([] { return Queue().Queued() == 1; }, 10s));
    }
    port.Close();
    EXPECT_EQ(duringRing, (std::vector<std::string>{"after OnBeforeClose", "connected", "device open"}));
    EXPECT_EQ(port.Log->OpenDevices(), 0);
}

// The line hangs up: one I/O error, then nothing at all until Close.
TEST_P(EveryHandOver, AHangUpIsReportedOnceAsAnIoErrorThenAllRestsUntilClose)
{
    PseudoTerminal line;
    TComPort port(nullptr);
    port.SetPort(line.SlavePath());
    port.SetSyncMethod(Sync());
    std::mutex lock;
    std::vector<TComErrors> errors;
    Recorder others;
    others.Attach(port);
    port.OnError = [&](TComponent*, TComErrors Errors) {
        std::lock_guard guard(lock);
        errors.push_back(Errors);
    };
    auto errorCount = [&] {
        std::lock_guard guard(lock);
        return errors.size();
    };
    std::thread([] {}).join(); // the thread checker's own thread: see AnIdleOpenPortWakesNobody
    std::vector<std::string> watched = ThreadsStartedBy([&] { port.Open(); });
    watched.push_back(std::to_string(gettid())); // the main loop may be the waiter
    Queue().Drain();
    const size_t eventsBefore = others.Count();
    line.CloseMaster();
    ASSERT_TRUE(ServeAndWatch([&] { return errorCount() > 0; }));
    {
        std::lock_guard guard(lock);
        EXPECT_TRUE(errors[0].Contains(ceIO));
    }
    // A thread that spins gets far more than a tenth of the time even on a
    // loaded machine; one that rests gets none.
    const auto cpu = [&] {
        double total = 0;
        for (const auto& tid : watched)
            total += ThreadCpuSeconds(tid);
        return total;
    };
    const double cpuBefore = cpu();
    const auto start = Clock::now();
    Serve([] { return false; }, 1500ms); // anything still coming would arrive here
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    EXPECT_LT(cpu() - cpuBefore, 0.1 * elapsed.count());
    EXPECT_EQ(errorCount(), 1u);
    EXPECT_EQ(others.Count(), eventsBefore);
    port.Close();
    EXPECT_FALSE(port.Connected());
}

// An idle open port wakes nobody: not its threads, and not the main thread
// serving the loop for two seconds.
TEST_P(EveryHandOver, AnIdleOpenPortWakesNobody)
{
    PseudoTerminal line;
    TComPort port(nullptr);
    port.SetPort(line.SlavePath());
    port.SetSyncMethod(Sync());
    port.OnRxChar = [](TComponent*, int32_t) {};
    // The thread checker's runtime starts a housekeeping thread of its own,
    // which wakes several times a second, at the process's first thread
    // creation. Create a thread first, so that only the port's threads are
    // new when the port opens.
    std::thread([] {}).join();
    const auto before = DirectoryEntries("/proc/self/task");
    port.Open();
    std::vector<std::string> watched = {std::to_string(gettid())};
    for (const auto& name : DirectoryEntries("/proc/self/task"))
        if (!before.count(name))
            watched.push_back(name);
    EXPECT_EQ(watched.size(), 1 + ThreadsOfAnOpenPort());
    auto switches = [&] {
        long total = 0;
        for (const auto& tid : watched)
            total += Sleeps(tid);
        return total;
    };
    Serve([] { return false; }, 200ms); // into their waits
    const long start = switches();
    Serve([] { return false; }, 2s);
    EXPECT_LE(switches() - start, 5);
    port.Close();
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<TSyncMethod, Waiter>>& Info)
{
    static const char* const kSyncs[] = {"ThreadSync", "WindowSync", "None"};
    return std::string(kSyncs[std::get<0>(Info.param)]) +
           (std::get<1>(Info.param) == Waiter::Thread ? "_Thread" : "_MainLoop");
}

INSTANTIATE_TEST_SUITE_P(SyncMethods, EveryHandOver,
                         ::testing::Combine(::testing::Values(smThreadSync, smWindowSync, smNone),
                                            ::testing::Values(Waiter::Thread, Waiter::MainLoop)),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(SyncMethods, HandOverToMain,
                         ::testing::Combine(::testing::Values(smThreadSync, smWindowSync),
                                            ::testing::Values(Waiter::Thread, Waiter::MainLoop)),
                         CaseName);

// With the thread hand-over a handler's nested loop never sees the next wait
// of its port, whoever waits for the line: what arrives meanwhile comes after
// the handler has returned, in order; Close stays refused throughout.
class ThreadSyncRoute : public EventThreadTest, public ::testing::WithParamInterface<Waiter> {
protected:
    void SetUp() override
    {
        EventThreadTest::SetUp();
        if (GetParam() == Waiter::MainLoop)
            Queue().ServeAsMainLoop();
    }
    void TearDown() override
    {
        Queue().SetLoopWatcher(nullptr);
        EventThreadTest::TearDown();
    }
};

TEST_P(ThreadSyncRoute, AHandlerRunningANestedLoopIsNeverEnteredAgainAndLosesNothing)
{
    FakePort port(AllComEvents(), smThreadSync);
    port.Open();
    EXPECT_EQ(port.EventThreadActive(), GetParam() == Waiter::Thread); // no thread where the loop waits
    int depth = 0;
    int deepest = 0;
    std::vector<std::string> seen;
    std::vector<bool> closeRefused;
    auto tryClose = [&] {
        const std::optional<EComPort> refused = ComErrorOf([&] { port.Close(); });
        closeRefused.push_back(refused && refused->PortErrorCode() == peThreadRunning);
    };
    auto enter = [&](const std::string& Name) {
        deepest = std::max(deepest, ++depth);
        seen.push_back(Name);
    };
    port.OnRxChar = [&](TComponent*, int32_t Count) {
        enter("RxChar");
        std::string bytes;
        port.ReadText(bytes, Count);
        --depth;
    };
    port.OnCTSChange = [&](TComponent*, bool) {
        enter("CTS");
        --depth;
    };
    port.OnBreak = [&](TComponent*) {
        enter("Break");
        --depth;
    };
    port.OnRing = [&](TComponent*) {
        enter("Ring");
        tryClose();
        std::thread line([&] {
            port.Log->AddInput("ab");
            port.Log->RaiseEvents(device::kEvRxChar);
            port.Log->RaiseEvents(device::kEvCts);
            port.Log->RaiseEvents(device::kEvBreak);
        });
        Queue().ServeUntil([] { return false; }, std::chrono::steady_clock::now() + 200ms);
        line.join();
        tryClose();
        --depth;
    };
    port.Log->RaiseEvents(device::kEvRing);
    ASSERT_TRUE(ServeAndWatch([&] { return seen.size() >= 4; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"Ring", "RxChar", "CTS", "Break"}));
    EXPECT_EQ(closeRefused, (std::vector<bool>{true, true}));
    EXPECT_TRUE(port.Connected());
    port.Close();
}

// A subclass that replaces the Trigger operations hears every event of
// Events with no handler assigned.
class OverridingPort : public FakePort {
public:
    OverridingPort(TComEvents Events, TSyncMethod Sync) : FakePort(Events, Sync) {}
    std::vector<std::string> Called;

protected:
    void TriggerError(TComErrors) override { Called.emplace_back("Error"); }
    void TriggerRxChar(int32_t) override { Called.emplace_back("RxChar"); }
    void TriggerRxBuf(const char*, int32_t) override { Called.emplace_back("RxBuf"); }
    void TriggerTxEmpty() override { Called.emplace_back("TxEmpty"); }
    void TriggerBreak() override { Called.emplace_back("Break"); }
    void TriggerRing() override { Called.emplace_back("Ring"); }
    void TriggerCTSChange(bool) override { Called.emplace_back("CTS"); }
    void TriggerDSRChange(bool) override { Called.emplace_back("DSR"); }
    void TriggerRxFlag() override { Called.emplace_back("RxFlag"); }
    void TriggerRLSDChange(bool) override { Called.emplace_back("RLSD"); }
    void TriggerRx80Full() override { Called.emplace_back("Rx80Full"); }
};

TEST_P(ThreadSyncRoute, ASubclassTriggerHearsEveryEventWithNoHandler)
{
    OverridingPort port(AllComEvents(), smThreadSync);
    port.Log->SetLineErrors(device::kCeFrame);
    port.Log->AddInput("abc");
    port.Open();
    port.Called.clear(); // the line report of the open
    port.Log->RaiseEvents(0x05FF);
    ASSERT_TRUE(ServeAndWatch([&] { return port.Called.size() >= 10; }));
    EXPECT_EQ(port.Called, (std::vector<std::string>{"Error", "RxChar", "TxEmpty", "Break", "Ring", "CTS", "DSR",
                                                     "RxFlag", "RLSD", "Rx80Full"}));
    port.Close();
}

INSTANTIATE_TEST_SUITE_P(Waiters, ThreadSyncRoute, ::testing::Values(Waiter::Thread, Waiter::MainLoop),
                         [](const ::testing::TestParamInfo<Waiter>& Info) {
                             return std::string(Info.param == Waiter::Thread ? "Thread" : "MainLoop");
                         });

// With smNone and no main loop nobody serves the main thread until Close: a
// failing handler is reported at once and the next events still come.
TEST_F(EventThreadTest, WithNoMainLoopAFailingSmNoneHandlerIsReportedAtOnceAndEventsGoOn)
{
    FakePort port(AllComEvents(), smNone);
    std::atomic<int> rings{0};
    port.OnRing = [&](TComponent*) {
        if (++rings == 1)
            throw std::runtime_error("handler failed");
    };
    port.Open();
    port.Log->RaiseEvents(device::kEvRing);
    port.Log->RaiseEvents(device::kEvRing);
    EXPECT_TRUE(WaitUntil([&] { return FReports.Count() == 1 && rings == 2; }, 10s));
    port.Close();
}

// Attaching a link twice or detaching one never attached fails with code 18
// and the platform's number for a bad argument.
TEST_F(EventThreadTest, LinkFailuresCarryThePlatformErrorNumber)
{
    FakePort port;
    TPortLink link;
    port.RegisterLink(&link);
    for (const auto& misuse :
         std::vector<std::function<void()>>{[&] { port.RegisterLink(&link); }, [&] { port.RegisterLink(nullptr); },
                                            [&] {
                                                port.UnRegisterLink(&link);
                                                port.UnRegisterLink(&link);
                                            }}) {
        const EComPort refused = ExpectComError(misuse);
        EXPECT_EQ(refused.PortErrorCode(), peLinkFailed);
        EXPECT_EQ(refused.SystemErrorCode(), device::InvalidArgumentError());
    }
}

// Close while the thread waits in a hand-over: the queued events are
// delivered during Close (port connected, device open, after OnBeforeClose);
// an event that completes together with the quit request is not.
TEST_F(EventThreadTest, CloseDeliversTheQueuedHandOverAndTheQuitWinsOverANewEvent)
{
    FakePort port;
    port.Open();
    bool beforeClose = false;
    std::vector<std::string> duringRing;
    int breaks = 0;
    port.OnBeforeClose = [&](TComponent*) { beforeClose = true; };
    port.OnRing = [&](TComponent*) {
        duringRing = {beforeClose ? "after OnBeforeClose" : "before OnBeforeClose",
                      port.Connected() ? "connected" : "not connected",
                      port.Log->OpenDevices() == 1 ? "device open" : "device closed"};
    };
    port.OnBreak = [&](TComponent*) { ++breaks; };
    port.Log->RaiseEvents(device::kEvRing);
    ASSERT_TRUE(WaitUntil([] { return Queue().Queued() == 1; }, 10s));
    port.Log->RaiseEvents(device::kEvBreak); // waits in the fake until the thread waits again
    port.Close();
    EXPECT_EQ(duringRing, (std::vector<std::string>{"after OnBeforeClose", "connected", "device open"}));
    EXPECT_EQ(breaks, 0);
    EXPECT_EQ(port.Log->OpenDevices(), 0);
}

TEST_F(EventThreadTest, AFailedWaitEndsTheLoopWithItsCleanUpAndCloseStillWorks)
{
    FakePort port;
    port.Open();
    port.Log->FailNextWait(EIO);
    ASSERT_TRUE(WaitUntil([&] { return port.MasksSet().size() == 2; }, 10s));
    EXPECT_EQ(port.MasksSet().back(), 0u);
    EXPECT_EQ(port.Log->WaitsBegun(), 1);
    EXPECT_TRUE(port.Connected());
    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.MasksSet().size(), 2u);
}

TEST_F(EventThreadTest, SyncMethodCannotChangeWhileOpen)
{
    FakePort port;
    port.SetSyncMethod(smNone);
    port.Open();
    port.SetSyncMethod(smNone); // equal value: nothing happens
    EXPECT_EQ(ExpectComError([&] { port.SetSyncMethod(smWindowSync); }).PortErrorCode(), 14);
    EXPECT_EQ(port.SyncMethod(), smNone);
    port.Close();
}

// ---- The event thread on a pseudo-terminal ------------------------------------------

// The same cases with the thread waiting and with the main loop waiting.
class PtyPort : public EventThreadTest, public ::testing::WithParamInterface<Waiter> {
protected:
    PseudoTerminal FLine;
    TComPort FPort{nullptr};
    void SetUp() override
    {
        EventThreadTest::SetUp();
        if (GetParam() == Waiter::MainLoop)
            Queue().ServeAsMainLoop();
        FPort.SetPort(FLine.SlavePath());
    }
    void TearDown() override
    {
        FPort.Close();
        Queue().SetLoopWatcher(nullptr);
        EventThreadTest::TearDown();
    }
};

TEST_P(PtyPort, BurstsArriveOnTheMainThreadAsCountsWithNoByteLostOrDuplicated)
{
    std::string received;
    bool countsMatched = true, allOnMain = true;
    FPort.OnRxChar = [&](TComponent*, int32_t Count) {
        std::string text;
        countsMatched = countsMatched && FPort.ReadText(text, Count) == Count && Count > 0;
        allOnMain = allOnMain && Queue().IsMainThread();
        received += text;
    };
    FPort.Open();
    std::string sent;
    for (int burst = 0; burst < 400; ++burst) {
        std::string bytes;
        for (int i = 0; i < 1 + (burst * 37) % 700; ++i)
            bytes.push_back(static_cast<char>((burst * 131 + i) & 0xFF));
        FLine.WriteToPort(bytes);
        sent += bytes;
        if (burst % 3 == 0) { // now and then let the port catch up, else bursts merge
            ASSERT_TRUE(Serve([&] { return received.size() == sent.size(); }));
        }
    }
    ASSERT_TRUE(Serve([&] { return received.size() >= sent.size(); }));
    FPort.Close();
    EXPECT_TRUE(countsMatched);
    EXPECT_TRUE(allOnMain);
    EXPECT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent);
}

// Watching for the end of a write costs a helper thread: only while a handler
// listens. Then the event arrives.
TEST_P(PtyPort, TxEmptyIsWatchedOnlyWhileSomeoneListens)
{
    FPort.Open();
    const size_t threads = DirectoryEntries("/proc/self/task").size();
    EXPECT_EQ(FPort.WriteText("a"), 1);
    EXPECT_EQ(FLine.ReadFromPort(1, 10s), "a");
    Serve([] { return false; }, 100ms);
    EXPECT_EQ(DirectoryEntries("/proc/self/task").size(), threads);

    int txEmpty = 0;
    FPort.OnTxEmpty = [&](TComponent*) { ++txEmpty; };
    EXPECT_EQ(FPort.WriteText("b"), 1);
    EXPECT_EQ(FLine.ReadFromPort(1, 10s), "b");
    EXPECT_TRUE(Serve([&] { return txEmpty == 1; }));
}

// A subclass's own TriggerTxEmpty is reached with no handler and no call
// that asks for it, through the thread and the window hand-over.
TEST_P(PtyPort, ASubclassTriggerTxEmptyIsCalledWithNoHandler)
{
    struct TxEmptyPort : TComPort {
        using TComPort::TComPort;
        int Calls = 0;
        void TriggerTxEmpty() override { ++Calls; }
    };
    for (TSyncMethod sync : {smThreadSync, smWindowSync}) {
        TxEmptyPort port(nullptr);
        port.SetSyncMethod(sync);
        port.SetPort(FLine.SlavePath());
        port.Open();
        EXPECT_EQ(port.WriteText("a"), 1);
        EXPECT_EQ(FLine.ReadFromPort(1, 10s), "a");
        EXPECT_TRUE(Serve([&] { return port.Calls == 1; })) << "sync " << sync;
        port.Close();
    }
}

TEST_P(PtyPort, EventsWrittenWhileOpenDoNotChangeReporting)
{
    int rxChars = 0;
    FPort.OnRxChar = [&](TComponent*, int32_t Count) {
        std::string text;
        FPort.ReadText(text, Count);
        ++rxChars;
    };
    FPort.Open();
    FPort.SetEvents(TComEvents{});
    FLine.WriteToPort("x");
    EXPECT_TRUE(Serve([&] { return rxChars == 1; }));
    FPort.Close();
}

TEST_P(PtyPort, AThousandOpenCloseCyclesWithBytesFlowingLeakNothing)
{
    int rxChars = 0;
    FPort.OnRxChar = [&](TComponent*, int32_t Count) {
        std::string text;
        FPort.ReadText(text, Count);
        ++rxChars;
    };
    FPort.Open(); // the first open creates what lives for the whole process
    FPort.Close();
    const size_t descriptors = DirectoryEntries("/proc/self/fd").size();
    const size_t threads = DirectoryEntries("/proc/self/task").size();
    for (int cycle = 0; cycle < 1000; ++cycle) {
        FPort.Open();
        (void)!write(FLine.MasterFd(), "0123456789", 10); // a full line simply refuses more
        if (cycle % 10 == 0) {
            ASSERT_TRUE(Serve([&] { return rxChars > cycle / 10; })) << "cycle " << cycle;
        }
        FPort.Close();
    }
    EXPECT_EQ(DirectoryEntries("/proc/self/fd").size(), descriptors);
    EXPECT_EQ(DirectoryEntries("/proc/self/task").size(), threads);
}

// Writers on other threads that start right after Open share the device and
// the transmitter-empty request with each other and with Open and Close.
TEST_P(PtyPort, ThreeWritersRightAfterEachOpenRaceWithNobody)
{
    FPort.OnTxEmpty = [](TComponent*) {}; // the first write asks for the watch
    std::mutex lock;
    std::condition_variable changed;
    int opened = 0; // the number of Opens so far; -1 ends the writers
    int written = 0;
    auto writer = [&] {
        for (int seen = 0;;) {
            {
                std::unique_lock guard(lock);
                changed.wait(guard, [&] { return opened != seen; });
                if (opened < 0)
                    return;
                seen = opened;
            }
            FPort.WriteText("x");
            std::lock_guard guard(lock);
            ++written;
            changed.notify_all();
        }
    };
    std::vector<std::thread> writers;
    for (int i = 0; i < 3; ++i)
        writers.emplace_back(writer);
    for (int round = 1; round <= 500; ++round) {
        FPort.Open();
        {
            std::unique_lock guard(lock);
            opened = round;
            changed.notify_all();
            changed.wait(guard, [&] { return written == 3 * round; });
        }
        EXPECT_EQ(FLine.ReadFromPort(3, 10s), "xxx");
        FPort.Close();
    }
    {
        std::lock_guard guard(lock);
        opened = -1;
        changed.notify_all();
    }
    for (std::thread& t : writers)
        t.join();
}

INSTANTIATE_TEST_SUITE_P(Waiters, PtyPort, ::testing::Values(Waiter::Thread, Waiter::MainLoop),
                         [](const ::testing::TestParamInfo<Waiter>& Info) {
                             return std::string(Info.param == Waiter::Thread ? "Thread" : "MainLoop");
                         });

} // namespace
