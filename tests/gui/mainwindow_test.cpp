// The main window against a meter on a pseudo-terminal: the simulated meter
// (metersim), or the test itself holding the master end where the exact
// bytes on the line matter. Message boxes and the save dialog are answered
// through their seams.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSocketNotifier>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <memory>
#include <optional>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <velt/comport/ui/CPortCtl.h>
#include <velt/comport/ui/CPortSetup.h>
#include "Cp1250.h"
#include "ExceptionReportBox.h"
#include "MainVelt.h"
#include "MessageBox.h"
#include "PolishLanguage.h"
#include "ProgramCommand.h"
#include "RtfReader.h"
#include "SaveFileDialog.h"
#include "support/PseudoTerminal.h"
#include "QtTestMain.h"

namespace {

constexpr int kWaitMs = 10000;

const QString kError = QStringLiteral("Błąd");
const QString kMeterError = QStringLiteral("Wystąpił błąd komunikacji z miernikiem!");
const QString kOpenError = QStringLiteral("Wystąpił błąd podczas otwierania portu!");

QString MeterSimPath()
{
    const QString fromEnvironment = qEnvironmentVariable("METERSIM");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QCoreApplication::applicationDirPath() + "/../../tools/metersim/metersim";
}

// The simulated meter, ended with the test (and by itself if the test dies,
// through its watched standard input).
class MeterSim {
public:
    explicit MeterSim(const QStringList& Options)
    {
        FProcess.start(MeterSimPath(), Options + QStringList{"--watch-stdin"});
        if (!FProcess.waitForStarted(kWaitMs))
            return;
        while (!FProcess.canReadLine() && FProcess.waitForReadyRead(kWaitMs)) {
        }
        Path = QString::fromLocal8Bit(FProcess.readLine()).trimmed();
    }
    ~MeterSim()
    {
        FProcess.terminate();
        if (!FProcess.waitForFinished(kWaitMs))
            FProcess.kill();
    }
    QString Path;

private:
    QProcess FProcess;
};

// A meter played by the test on a pseudo-terminal it holds: every byte the
// program sends is recorded, and Answer decides the reply (nothing for none).
class ScriptedMeter {
public:
    using Answerer = std::function<std::optional<std::string>(uint8_t Byte, size_t Index)>;

    explicit ScriptedMeter(Answerer Answer = {}) : FAnswer(std::move(Answer))
    {
        FNotifier = std::make_unique<QSocketNotifier>(FPty.MasterFd(), QSocketNotifier::Read);
        QObject::connect(FNotifier.get(), &QSocketNotifier::activated, [this] { TakeBytes(); });
    }
    QString Path() const { return QString::fromStdString(FPty.SlavePath()); }
    PseudoTerminal& Pty() { return FPty; }
    std::string Received;

private:
    void TakeBytes()
    {
        char bytes[256];
        const ssize_t count = read(FPty.MasterFd(), bytes, sizeof bytes);
        for (ssize_t i = 0; i < count; ++i) {
            Received.push_back(bytes[i]);
            if (!FAnswer)
                continue;
            if (const auto reply = FAnswer(static_cast<uint8_t>(bytes[i]), Received.size() - 1))
                FPty.WriteToPort(*reply);
        }
    }

    PseudoTerminal FPty;
    Answerer FAnswer;
    std::unique_ptr<QSocketNotifier> FNotifier;
};

// The meter's side of the clock handshake: the field code back after a code,
// the value after a value byte, 100 after a resynchronisation. WrongAt names
// the byte (from 0) to answer with a wrong number.
ScriptedMeter::Answerer ClockMeter(std::optional<size_t> WrongAt = std::nullopt)
{
    auto valueExpected = std::make_shared<bool>(false);
    return [valueExpected, WrongAt](uint8_t Byte, size_t Index) -> std::optional<std::string> {
        int answer = Byte;
        if (Byte >= 91 && Byte <= 96) {
            *valueExpected = true;
        } else if (*valueExpected) {
            *valueExpected = false;
            answer = Byte - 100;
        }
        if (WrongAt && *WrongAt == Index) {
            answer += 1;
            *valueExpected = false; // the program will resynchronise, not send a value
        }
        return std::to_string(answer) + "\r\n";
    };
}

// The bytes the program sends for the clock set to Moment, in a clean run.
std::string CleanHandshake(const QDateTime& Moment)
{
    const int values[] = {Moment.date().day(),    Moment.date().month(),  Moment.date().year() - 2000,
                          Moment.time().second(), Moment.time().minute(), Moment.time().hour()};
    std::string bytes;
    for (int field = 0; field < 6; ++field) {
        bytes.push_back(static_cast<char>(91 + field));
        bytes.push_back(static_cast<char>(values[field] + 100));
    }
    return bytes;
}

// While it lives, files opened on this thread are checked against the
// permissions of the user nobody: root would pass every check.
class AccessAsNobody {
public:
    static constexpr uid_t kNobody = 65534;
    AccessAsNobody() : FPrevious(static_cast<uid_t>(setfsuid(kNobody))) {}
    ~AccessAsNobody() { setfsuid(FPrevious); }
    static bool Active() { return static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1))) == kNobody; }

private:
    uid_t FPrevious;
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm1> FForm;
    std::vector<TMessageRequest> FMessages;
    QStringList FPaneTexts; // every text the pane has held, in order
    QTemporaryDir FFiles;

    QPushButton* Button(const QString& Name) { return FForm->findChild<QPushButton*>(Name); }
    QTextEdit* Memo() { return FForm->findChild<QTextEdit*>("Memo"); }
    QString PaneText() { return Memo()->toPlainText(); }
    QSpinBox* Spin() { return FForm->findChild<QSpinBox*>("SpinEdit1"); }
    QWidget* Child(const QString& Name) { return FForm->findChild<QWidget*>(Name); }

    bool CommandsEnabled(bool Enabled)
    {
        for (const CommandButton& button : CommandButtons())
            if (Button(QString::fromLatin1(button.Name))->isEnabled() != Enabled)
                return false;
        return true;
    }

    void Click(const QString& Name) { QTest::mouseClick(Button(Name), Qt::LeftButton); }

    void UsePort(const QString& Path) { FForm->ComPort->SetPort(Path.toStdString()); }

    QStringList MessageTexts() const
    {
        QStringList texts;
        for (const auto& m : FMessages)
            texts << m.Text;
        return texts;
    }

    void NewForm()
    {
        FForm = std::make_unique<TForm1>();
        FPaneTexts.clear();
        connect(Memo(), &QTextEdit::textChanged, this, [this] { FPaneTexts << PaneText(); });
        FForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(FForm.get()));
        // The idle timer runs from creation and ticks once a second later,
        // enabling the buttons; let that pass before a test starts a command.
        QTRY_VERIFY_WITH_TIMEOUT(!FForm->findChild<QTimer*>("tOdbieranie")->isActive(), kWaitMs);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(FFiles.isValid());
        QVERIFY2(QFile::exists(MeterSimPath()), qPrintable(MeterSimPath()));
        SetMessageBoxHook([this](const TMessageRequest& Request) { FMessages.push_back(Request); });
        InstallExceptionReportBox(nullptr);
        // The window under the Polish locale and translations, as the program runs it.
        InstallPolishLanguage(*QCoreApplication::instance());
    }

    void init()
    {
        FMessages.clear();
        NewForm();
    }

    void cleanup()
    {
        SetSaveFileHook({});
        FForm.reset();
    }

    void windowHasItsLayout()
    {
        QCOMPARE(FForm->windowTitle(), QStringLiteral("Velt v.4.1"));
        QCOMPARE(FForm->minimumWidth(), 370);
        // The panel is as wide as its captions need, at least 180, and keeps
        // that width: the pane takes every change of the window's width.
        QWidget* panel = Child("Panel1");
        QVERIFY(panel->minimumSizeHint().height() >= 460);
        FForm->resize(900, 600);
        QTRY_COMPARE(Memo()->width() + panel->width(), 900);
        const int panelWidth = panel->width();
        QVERIFY(panelWidth >= 180);
        FForm->resize(600, 600);
        QTRY_COMPARE(Memo()->width(), 600 - panelWidth);
        QCOMPARE(panel->width(), panelWidth);
        QVERIFY(!Child("lTransmisja")->isVisible());
        QVERIFY(!Child("pb")->isVisible());
        QVERIFY(!Child("lStatus")->isVisible());
        QCOMPARE(Spin()->minimum(), 1);
        QCOMPARE(Spin()->maximum(), 28);
        QCOMPARE(FForm->findChild<QTimer*>("tUstawZegar")->interval(), 60);
        // Each command's button, named and captioned as the command table says.
        for (const CommandButton& button : CommandButtons())
            QCOMPARE(Button(QString::fromLatin1(button.Name))->text(), QString::fromUtf8(button.Caption));
    }

    void answerInBurstsIsShownOnceCompleteWithPolishLetters()
    {
        MeterSim meter({"--split", "250", "--bursts", "3"});
        UsePort(meter.Path);
        Spin()->setValue(5);
        Click("bPomZPam");
        QVERIFY(CommandsEnabled(false));
        QTRY_VERIFY_WITH_TIMEOUT(Child("lTransmisja")->isVisible(), kWaitMs);
        QVERIFY(Child("pb")->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!PaneText().isEmpty(), kWaitMs);
        QVERIFY(PaneText().startsWith(QStringLiteral("Pomiar nr 5: ")));
        QVERIFY(PaneText().contains(QStringLiteral("°C, wilgotność ")));
        QVERIFY(PaneText().endsWith(QStringLiteral(" %\n")));
        // Cleared by the command, then the whole answer once: never a part of it.
        QCOMPARE(FPaneTexts, QStringList({QString(), PaneText()}));
        QVERIFY(CommandsEnabled(true));
        QVERIFY(!Child("lTransmisja")->isVisible());
        QCOMPARE(qobject_cast<QProgressBar*>(Child("pb"))->value(), 0);
        QVERIFY(FMessages.empty());
    }

    void pauseOfMoreThanASecondSplitsTheAnswer()
    {
        MeterSim meter({"--split", "1600", "--bursts", "2"});
        UsePort(meter.Path);
        Click("bWszystPom");
        QTRY_VERIFY_WITH_TIMEOUT(FPaneTexts.size() >= 3, 3 * kWaitMs);
        const QString first = FPaneTexts.at(1);
        const QString second = FPaneTexts.at(2);
        QVERIFY(first.startsWith(QStringLiteral("Pomiar nr 1:")));
        QVERIFY(!second.contains(QStringLiteral("Pomiar nr 1:")));
        QVERIFY(second.contains(QStringLiteral("Pomiar nr 28:")));
        // The two displays together hold all 28 measurements, each once.
        const QStringList lines = (first + second).split('\n', Qt::SkipEmptyParts);
        QStringList starts;
        for (const QString& line : lines)
            if (line.startsWith(QStringLiteral("Pomiar nr ")))
                starts << line.section(':', 0, 0);
        QCOMPARE(starts.size(), 28);
        QCOMPARE(starts.constLast(), QStringLiteral("Pomiar nr 28"));
    }

    void memoryRequestSendsTheNumberAsOneByte()
    {
        ScriptedMeter meter;
        UsePort(meter.Path());
        Spin()->setValue(28);
        Click("bPomZPam");
        QTRY_COMPARE_WITH_TIMEOUT(meter.Received, std::string("\x1C"), kWaitMs);
    }

    void silentMeterBringsTheButtonsBackAndALaterAnswerIsShown()
    {
        ScriptedMeter meter;
        UsePort(meter.Path());
        Click("bOstatniPom");
        QVERIFY(CommandsEnabled(false));
        QTRY_COMPARE_WITH_TIMEOUT(FMessages.size(), size_t(1), kWaitMs);
        QVERIFY(CommandsEnabled(true));
        QCOMPARE(FMessages[0].Text, kMeterError);
        QCOMPARE(FMessages[0].Caption, kError);
        QVERIFY(FMessages[0].Icon == TMessageIcon::Error);
        QCOMPARE(PaneText(), QStringLiteral("Błąd komunikacji z miernikiem!"));
        QCOMPARE(meter.Received, std::string("T"));

        meter.Pty().WriteToPort(cp1250::Encode(QStringLiteral("Spóźniona odpowiedź")));
        QTRY_COMPARE_WITH_TIMEOUT(PaneText(), QStringLiteral("Spóźniona odpowiedź"), kWaitMs);
    }

    // The status line says what the line log shows; the log window, from the
    // pane's context menu or its key, shows the log, saves it and copies it.
    void silentMeterIsExplainedByTheStatusLineAndTheLineLog()
    {
        ScriptedMeter meter;
        UsePort(meter.Path());
        Click("bOstatniPom");
        QTRY_COMPARE_WITH_TIMEOUT(FMessages.size(), size_t(1), kWaitMs);
        auto* status = FForm->findChild<QLabel*>("lStatus");
        QVERIFY(status->isVisible());
        QCOMPARE(status->text(), QStringLiteral("Wysłano 1 bajt, nie nadeszła odpowiedź w ciągu 1 s"));

        auto* action = FForm->findChild<QAction*>("aDziennik");
        QCOMPARE(action->text(), QStringLiteral("Dziennik transmisji…"));
        QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
        QTest::keyClick(Memo(), Qt::Key_L, Qt::ControlModifier);
        auto* dialog = FForm->findChild<QDialog*>("DziennikTransmisji");
        QVERIFY(dialog && dialog->isVisible());
        const QString log = dialog->findChild<QPlainTextEdit*>("Dziennik")->toPlainText();
        QVERIFY2(log.contains(QStringLiteral(" tx      1 | 54 | T\n")), qPrintable(log));

        const QString fileName = FFiles.filePath("dziennik.txt");
        SetSaveFileHook([&](const TSaveFileRequest&) { return fileName; });
        QTest::mouseClick(dialog->findChild<QPushButton*>("bZapisz"), Qt::LeftButton);
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), log);
        QTest::mouseClick(dialog->findChild<QPushButton*>("bKopiuj"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), log);
        QVERIFY(FMessages.size() == 1);
    }

    void cleanHandshakeSendsTwelveBytes()
    {
        const QDateTime moment(QDate(2026, 3, 7), QTime(14, 5, 9));
        FForm->Clock = [moment] { return moment; };
        ScriptedMeter meter(ClockMeter());
        UsePort(meter.Path());
        Click("bUstawZegar");
        QTRY_COMPARE_WITH_TIMEOUT(PaneText(), QStringLiteral("Zegar miernika ustawiony poprawnie!"), kWaitMs);
        QCOMPARE(meter.Received, CleanHandshake(moment));
        QCOMPARE(static_cast<uint8_t>(meter.Received[5]), uint8_t(126)); // the year 2026
        QVERIFY(FMessages.empty());
        QVERIFY(CommandsEnabled(true));
    }

    void wrongAnswerBringsResyncAndTheSameField_data()
    {
        QTest::addColumn<int>("wrongAt");
        QTest::addColumn<QByteArray>("expectedStart");
        QTest::addColumn<int>("expectedBytes");
        // Twelve bytes, "d", then the field's code again (and its value again
        // when the value was the one answered wrongly).
        QTest::newRow("field code") << 2 << QByteArray("[k\\d\\n") << 14;
        QTest::newRow("field value") << 3 << QByteArray("[k\\nd\\n") << 15;
    }

    void wrongAnswerBringsResyncAndTheSameField()
    {
        QFETCH(int, wrongAt);
        QFETCH(QByteArray, expectedStart);
        QFETCH(int, expectedBytes);
        const QDateTime moment(QDate(2031, 10, 7), QTime(0, 0, 0));
        FForm->Clock = [moment] { return moment; };
        ScriptedMeter meter(ClockMeter(static_cast<size_t>(wrongAt)));
        UsePort(meter.Path());
        Click("bUstawZegar");
        QTRY_COMPARE_WITH_TIMEOUT(PaneText(), QStringLiteral("Zegar miernika ustawiony poprawnie!"), kWaitMs);
        QCOMPARE(QByteArray::fromStdString(meter.Received.substr(0, expectedStart.size())), expectedStart);
        QCOMPARE(meter.Received.size(), size_t(expectedBytes));
        QVERIFY(FMessages.empty());
    }

    void handshakeWithTheSimulatedMeterRecoversFromAWrongAnswer()
    {
        MeterSim meter({"--wrong", "4"});
        UsePort(meter.Path);
        Click("bUstawZegar");
        QTRY_COMPARE_WITH_TIMEOUT(PaneText(), QStringLiteral("Zegar miernika ustawiony poprawnie!"), kWaitMs);
    }

    void silentMeterFailsTheHandshakeAfter24Bytes()
    {
        ScriptedMeter meter;
        UsePort(meter.Path());
        Click("bUstawZegar");
        QTRY_COMPARE_WITH_TIMEOUT(PaneText(), QStringLiteral("Błąd ustawiania zegara miernika!"), kWaitMs);
        QCOMPARE(meter.Received, "[" + std::string(23, 'd'));
        QCOMPARE(MessageTexts(), QStringList{kMeterError});
        QVERIFY(CommandsEnabled(true));
    }

    // The boxes' order is the program model's; here: they reach the
    // window's seam, and the window works again once the port opens.
    void failedOpenIsReportedAndTheWindowKeepsWorking()
    {
        UsePort(FFiles.filePath("no-such-port"));
        Click("bOstatniPom");
        QTRY_VERIFY_WITH_TIMEOUT(CommandsEnabled(true), kWaitMs);
        QCOMPARE(FMessages.front().Text, kOpenError);
        QCOMPARE(FMessages.front().Caption, kError);
        QVERIFY(FMessages.front().Icon == TMessageIcon::Error);

        MeterSim meter({});
        UsePort(meter.Path);
        Click("bOstatniPom");
        QTRY_VERIFY_WITH_TIMEOUT(PaneText().contains(QStringLiteral("Pomiar nr 28:")), kWaitMs);
    }

    void portTheUserMayNotUseSaysWhatToDo()
    {
        ScriptedMeter meter;
        QCOMPARE(chmod(meter.Path().toLocal8Bit().constData(), 0), 0);
        std::optional<AccessAsNobody> nobody;
        if (geteuid() == 0) {
            nobody.emplace();
            if (!AccessAsNobody::Active())
                QSKIP("root without the right to change its file-access identity");
        }
        UsePort(meter.Path());
        Click("bUstawZegar");
        nobody.reset();
        QCOMPARE(MessageTexts(), QStringList{kOpenError + "\nBrak uprawnień do portu: dodaj swoje konto do grupy "
                                                          "dialout (sudo adduser $USER dialout), wyloguj się i "
                                                          "zaloguj ponownie."});
    }

    // The line hangs up while idle: no box, the status line appears under the
    // pane, which keeps its text, and the panel stays as it was.
    void lostLineIsReportedAndTheHandshakeGivesTheButtonsBack()
    {
        auto meter = std::make_unique<ScriptedMeter>(ClockMeter());
        UsePort(meter->Path());
        Click("bUstawZegar");
        QTRY_COMPARE_WITH_TIMEOUT(PaneText(), QStringLiteral("Zegar miernika ustawiony poprawnie!"), kWaitMs);
        FMessages.clear();
        const QRect panel = Child("Panel1")->geometry();
        meter->Pty().CloseMaster();
        auto* status = qobject_cast<QLabel*>(Child("lStatus"));
        QTRY_VERIFY_WITH_TIMEOUT(status->isVisible(), kWaitMs);
        QVERIFY(status->text().contains(meter->Path()));
        QVERIFY(status->geometry().top() > Memo()->geometry().bottom());
        QCOMPARE(status->width(), Memo()->width());
        QCOMPARE(Child("Panel1")->geometry(), panel);
        QCOMPARE(PaneText(), QStringLiteral("Zegar miernika ustawiony poprawnie!"));
        QVERIFY(FMessages.empty());
        Click("bUstawZegar"); // the port does not open: reported, and nothing stays disabled
        QTRY_VERIFY_WITH_TIMEOUT(!FMessages.empty(), kWaitMs);
        QVERIFY(CommandsEnabled(true));
        QVERIFY(!FForm->findChild<QTimer*>("tUstawZegar")->isActive());
        // The dead line was let go, so that the next command opens the port afresh.
        QVERIFY(!FForm->ComPort->Connected());
    }

    // A line error that is no hang-up (a pseudo-terminal reports none of
    // its own, so the port's handler is handed one) still asks for the port.
    void lineErrorThatIsNoHangUpAsksForThePort()
    {
        FForm->ComPort->OnError(FForm->ComPort, TComErrors{ceFrame});
        QCOMPARE(MessageTexts(), QStringList{QStringLiteral("Wybierz port komunikacyjny")});
        QVERIFY(!qobject_cast<QLabel*>(Child("lStatus"))->isVisible());
    }

    void savedFileIsRtfOfThePane()
    {
        const QString text = QStringLiteral("Pomiar nr 5: 23,4 °C, wilgotność 45 %\nZażółć {gęślą} \\ jaźń");
        Memo()->setPlainText(text);
        const QString fileName = FFiles.filePath("pomiary.txt");
        TSaveFileRequest asked;
        SetSaveFileHook([&](const TSaveFileRequest& Request) {
            asked = Request;
            return fileName;
        });
        Click("bZapiszDoPliku");
        QCOMPARE(asked.Filter, QStringLiteral("Pliki tekstowe (*.txt)"));
        QCOMPARE(asked.DefaultSuffix, QStringLiteral("txt"));
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const rtftest::Parsed parsed = rtftest::ReadRtf(file.readAll().toStdString());
        QVERIFY(parsed.Valid);
        QCOMPARE(parsed.Text, text);

        Click("bCzyscEkran");
        Click("bZapiszDoPliku"); // an empty pane replaces the file with an empty document
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        const rtftest::Parsed empty = rtftest::ReadRtf(file.readAll().toStdString());
        QVERIFY(empty.Valid);
        QCOMPARE(empty.Text, QString());
        QVERIFY(FMessages.empty());
    }

    void copyPutsTextHtmlAndRtfOnTheClipboard()
    {
        QClipboard* clipboard = QApplication::clipboard();
        clipboard->setText(QStringLiteral("przedtem"));
        Click("bKopiujDoSchowka"); // empty pane: the clipboard is left alone
        QCOMPARE(clipboard->text(), QStringLiteral("przedtem"));

        const QString text = QStringLiteral("Wilgotność 45 %\nŻółw");
        Memo()->setPlainText(text);
        Click("bKopiujDoSchowka");
        const QMimeData* data = clipboard->mimeData();
        QVERIFY(data != nullptr);
        QCOMPARE(data->text(), text);
        QVERIFY(data->hasHtml());
        QVERIFY(data->html().contains(QStringLiteral("Żółw")));
        QCOMPARE(rtftest::ReadRtf(data->data("text/rtf").toStdString()).Text, text);
        QCOMPARE(data->data("application/rtf"), data->data("text/rtf"));
        QCOMPARE(Memo()->textCursor().selectedText().size(), text.size());
    }

    // A store that refuses the settings is reported once and the window
    // closes anyway; what was stored before is still there at the next start.
    void settingsAreStoredOnCloseAndRestoredAtStart()
    {
        UsePort(QStringLiteral("/dev/ttyVELTTEST"));
        QVERIFY(FForm->close());
        NewForm();
        QCOMPARE(QString::fromStdString(FForm->ComPort->Port()), QStringLiteral("/dev/ttyVELTTEST"));

        const QByteArray home = qgetenv("XDG_CONFIG_HOME");
        QFile blocker(FFiles.filePath("not-a-dir"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        UsePort(QStringLiteral("/dev/ttyOTHER"));
        qputenv("XDG_CONFIG_HOME", blocker.fileName().toLocal8Bit() + "/config");
        QVERIFY(FForm->close());
        qputenv("XDG_CONFIG_HOME", home);
        QCOMPARE(MessageTexts(), QStringList{QStringLiteral("Failed to store settings")});
        QVERIFY(!FForm->isVisible());

        NewForm();
        QCOMPARE(QString::fromStdString(FForm->ComPort->Port()), QStringLiteral("/dev/ttyVELTTEST"));
    }

    // The operator's choice reaches the store when the window closes, and the
    // port at the next start; a program that ends any other way keeps the
    // store as it was.
    void dialogChoiceIsStoredWhenTheWindowClosesAndOnlyThen()
    {
        const QByteArray home = qgetenv("XDG_CONFIG_HOME");
        QTemporaryDir ownHome;
        qputenv("XDG_CONFIG_HOME", ownHome.path().toLocal8Bit());
        TCustomComPort::SetSettingsDialog([](TCustomComPort& Port) {
            ExecuteSetupDialog(Port, [](TComSetupFrm& Dialog) {
                auto* rate = Dialog.findChild<TComComboBox*>(QStringLiteral("Combo2"));
                rate->setCurrentIndex(rate->findText(QStringLiteral("19200")));
                emit rate->activated(rate->currentIndex());
                return int(QDialog::Accepted);
            });
        });
        NewForm();
        Click("bUstawienia");
        QCOMPARE(FForm->ComPort->BaudRate(), br19200);
        FForm.reset(); // ended without closing the window
        NewForm();
        QCOMPARE(FForm->ComPort->BaudRate(), br9600);

        Click("bUstawienia");
        QVERIFY(FForm->close());
        NewForm();
        QCOMPARE(FForm->ComPort->BaudRate(), br19200);

        InstallSetupDialog();
        FForm.reset();
        qputenv("XDG_CONFIG_HOME", home);
    }
};

VELT_QT_TEST_MAIN(MainWindowTest)

#include "mainwindow_test.moc"
