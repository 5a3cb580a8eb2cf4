// Line events reach the handlers on the GUI thread through Qt's own event
// loop, once the hand-over adapter is installed: nothing else pumps the
// component's queue here.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <poll.h>
#include <unistd.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <velt/comport/ComPort.h>
#include <velt/comport/ui/QtHandOver.h>
#include <velt/comport/framework/ExceptionReport.h>
#include "support/ComErrors.h"
#include "support/PseudoTerminal.h"

namespace {

int ThreadCount()
{
    return static_cast<int>(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

bool OnGuiThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

// Runs a Qt event loop until Finish() is called or ten seconds pass.
class LoopRun {
public:
    LoopRun() { QTimer::singleShot(10000, &FLoop, &QEventLoop::quit); }
    void Exec() { FLoop.exec(); }
    void Finish() { FLoop.quit(); }

private:
    QEventLoop FLoop;
};

std::string Pattern(size_t Size, int Seed)
{
    std::string bytes;
    for (size_t i = 0; i < Size; ++i)
        bytes.push_back(static_cast<char>((Seed * 131 + i * 7) & 0xFF));
    return bytes;
}

} // namespace

class HandOverQtTest : public QObject {
    Q_OBJECT

private:
    std::vector<std::string> FReports;
    bool FReportsOnGuiThread = true;

private slots:
    void initTestCase()
    {
        InstallQtHandOver();
        InstallQtHandOver(); // a second call changes nothing
        SetExceptionReportHandler([this](const std::string& Message) {
            FReportsOnGuiThread = FReportsOnGuiThread && OnGuiThread();
            FReports.push_back(Message);
        });
    }
    void init()
    {
        FReports.clear();
        FReportsOnGuiThread = true;
    }
    void cleanupTestCase() { SetExceptionReportHandler({}); }

    // Bursts written at the far end while the loop runs: each OnRxChar runs
    // inside the loop with the count waiting, and reads exactly that. Qt's
    // loop waits on the device itself: opening starts no thread.
    void burstsArriveInsideTheRunningLoop()
    {
        PseudoTerminal line;
        TComPort port(nullptr);
        port.SetPort(line.SlavePath());
        LoopRun loop;
        std::string sent, received;
        for (int burst = 0; burst < 300; ++burst)
            sent += Pattern(1 + (burst * 53) % 900, burst);
        bool everyCallInLoop = true, countsMatched = true;
        port.OnRxChar = [&](TComponent*, int32_t Count) {
            everyCallInLoop = everyCallInLoop && OnGuiThread() && QThread::currentThread()->loopLevel() > 0;
            std::string text;
            countsMatched = countsMatched && port.ReadText(text, Count) == Count;
            received += text;
            if (received.size() >= sent.size())
                loop.Finish();
        };
        const int threadsBefore = ThreadCount();
        port.Open();
        QCOMPARE(ThreadCount(), threadsBefore);
        std::thread farEnd([&] {
            for (size_t at = 0, burst = 0; at < sent.size(); ++burst) {
                const size_t size = 1 + (burst * 53) % 900;
                line.WriteToPort(sent.substr(at, size));
                at += size;
            }
        });
        loop.Exec();
        farEnd.join();
        port.Close();
        QVERIFY(everyCallInLoop);
        QVERIFY(countsMatched);
        QCOMPARE(received.size(), sent.size());
        QVERIFY(received == sent);
    }

    // With the thread hand-over a handler that runs a nested loop is never
    // entered again: the bytes that come meanwhile are delivered after it has
    // returned, in order, and Close from the handler is refused throughout.
    void aHandlerRunningANestedLoopIsNeverEnteredAgain()
    {
        PseudoTerminal line;
        TComPort port(nullptr);
        port.SetPort(line.SlavePath());
        LoopRun loop;
        const std::string sent = Pattern(3000, 7);
        std::string received;
        int depth = 0, deepest = 0, refusals = 0;
        auto tryClose = [&] {
            const std::optional<EComPort> refused = ComErrorOf([&] { port.Close(); });
            refusals += refused && refused->PortErrorCode() == peThreadRunning ? 1 : 0;
        };
        port.OnRxChar = [&](TComponent*, int32_t Count) {
            deepest = std::max(deepest, ++depth);
            std::string text;
            port.ReadText(text, Count);
            received += text;
            if (received.size() == text.size()) { // the first delivery
                tryClose();
                std::thread farEnd([&] { line.WriteToPort(sent.substr(1)); });
                QEventLoop nested;
                QTimer::singleShot(200, &nested, &QEventLoop::quit);
                nested.exec();
                farEnd.join();
                tryClose();
            }
            --depth;
            if (received.size() >= sent.size())
                loop.Finish();
        };
        port.Open();
        line.WriteToPort(sent.substr(0, 1));
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, [&] { loop.Finish(); });
        deadline.start(10000);
        loop.Exec();
        QVERIFY(port.Connected());
        port.Close();
        QCOMPARE(deepest, 1);
        QCOMPARE(refusals, 2);
        QVERIFY(received == sent);
    }

    // A subclass's own TriggerTxEmpty hears the end of a write with no
    // handler assigned.
    void aSubclassTriggerTxEmptyIsCalledWithNoHandler()
    {
        struct TxEmptyPort : TComPort {
            using TComPort::TComPort;
            LoopRun* Loop = nullptr;
            void TriggerTxEmpty() override { Loop->Finish(); }
        };
        PseudoTerminal line;
        TxEmptyPort port(nullptr);
        LoopRun loop;
        port.Loop = &loop;
        port.SetPort(line.SlavePath());
        port.Open();
        bool timedOut = false;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, [&] {
            timedOut = true;
            loop.Finish();
        });
        deadline.start(10000);
        QCOMPARE(port.WriteText("a"), 1);
        loop.Exec();
        port.Close();
        QVERIFY(!timedOut);
    }

    // A failing handler is reported on the GUI thread and the port goes on
    // reporting, whichever hand-over it uses.
    void aFailingHandlerIsReportedAndEventsKeepComing_data()
    {
        QTest::addColumn<int>("sync");
        QTest::newRow("thread") << int(smThreadSync);
        QTest::newRow("window") << int(smWindowSync);
        QTest::newRow("none") << int(smNone);
    }
    void aFailingHandlerIsReportedAndEventsKeepComing()
    {
        QFETCH(int, sync);
        PseudoTerminal line;
        TComPort port(nullptr);
        port.SetPort(line.SlavePath());
        port.SetSyncMethod(static_cast<TSyncMethod>(sync));
        std::atomic<int> calls{0};
        port.OnRxChar = [&](TComponent*, int32_t Count) {
            std::string text;
            port.ReadText(text, Count);
            if (++calls == 1)
                throw std::runtime_error("meter answer unreadable");
        };
        port.Open();
        line.WriteToPort("a");
        QTRY_COMPARE_WITH_TIMEOUT(FReports.size(), size_t(1), 10000);
        QCOMPARE(FReports[0], std::string("meter answer unreadable"));
        QVERIFY(FReportsOnGuiThread);
        line.WriteToPort("b");
        QTRY_COMPARE_WITH_TIMEOUT(calls.load(), 2, 10000);
        port.Close();
        QCOMPARE(FReports.size(), size_t(1));
    }

    // Closing and reopening from a timer of the loop while the far end keeps
    // sending: every Close finds its hand-over served, none hangs.
    void closingFromTheLoopWhileBytesFlowNeverHangs()
    {
        PseudoTerminal line;
        TComPort port(nullptr);
        port.SetPort(line.SlavePath());
        std::atomic<bool> sending{true};
        int rxChars = 0, cycles = 0;
        port.OnRxChar = [&](TComponent*, int32_t Count) {
            std::string text;
            port.ReadText(text, Count);
            ++rxChars;
        };
        LoopRun loop;
        QTimer cycle;
        QObject::connect(&cycle, &QTimer::timeout, [&] {
            port.Close();
            if (++cycles == 200) {
                loop.Finish();
                return;
            }
            port.Open();
        });
        port.Open();
        std::thread farEnd([&] {
            while (sending) {
                pollfd room{line.MasterFd(), POLLOUT, 0};
                if (poll(&room, 1, 100) > 0)
                    (void)!write(line.MasterFd(), "0123456789abcdef", 16);
            }
        });
        cycle.start(1);
        loop.Exec();
        sending = false;
        farEnd.join();
        QCOMPARE(cycles, 200);
        QVERIFY(rxChars > 0);
        QVERIFY(!port.Connected());
    }
};

QTEST_MAIN(HandOverQtTest)
#include "handover_qt_test.moc"
