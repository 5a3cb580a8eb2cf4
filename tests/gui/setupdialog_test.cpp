// The Qt setup dialog and its lists as they draw the component's setup
// (whose rules tests/setup_model_test.cpp proves without a window), with the
// real widgets on the offscreen platform and a port on the recording device.
// The dialog run is handed to a runner that plays the operator.
#include <QAbstractItemView>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <cerrno>

#include <velt/comport/ui/CPortCtl.h>
#include <velt/comport/ui/CPortSetup.h>
#include <velt/comport/ComError.h>
#include <velt/comport/PortDetails.h>
#include <velt/comport/PortList.h>
#include <velt/comport/framework/ExceptionReport.h>
#include "support/ListedPorts.h"
#include "support/RecordingPort.h"

namespace {

// Picks the item as an operator does, with the keyboard.
void Pick(TComComboBox* Box, const QString& Text)
{
    const int target = Box->findText(Text);
    QVERIFY2(target >= 0, qPrintable("no item " + Text));
    QTest::keyClick(Box, Qt::Key_Home);
    for (int i = 0; i < target; ++i)
        QTest::keyClick(Box, Qt::Key_Down);
    QCOMPARE(Box->currentIndex(), target);
}

QStringList ItemsOf(const QComboBox* Box)
{
    QStringList items;
    for (int i = 0; i < Box->count(); ++i)
        items << Box->itemText(i);
    return items;
}

} // namespace

class SetupDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() { UsePorts({PlainPort("COM2"), PlainPort("ttyUSB0"), PlainPort("COM1")}); }
    void cleanup()
    {
        SetPortDetailsSource({});
        SetExceptionReportHandler({});
        TCustomComPort::SetSettingsDialog({});
    }

    void formHasTheDesignedLayout()
    {
        TComSetupFrm dialog;
        dialog.show(); // lays the controls out
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QString("Ustawienia"));
        // Sized from the font, never below the designed size, and fixed.
        QVERIFY(dialog.minimumSize().width() >= 231 && dialog.minimumSize().height() >= 216);
        QCOMPARE(dialog.maximumSize(), dialog.minimumSize());
        QVERIFY(!(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        auto* group = dialog.findChild<QGroupBox*>("GroupBox1");
        QVERIFY(group);
        QCOMPARE(group->title(), QString("Ustawienia portu szeregowego"));
        QCOMPARE(group->pos(), QPoint(8, 8));
        QVERIFY(group->width() >= 217 && group->height() >= 169);
        const QStringList labels{"Port", "Prędkość", "Bity danych", "Bity stopu", "Parzystość", "Sterowanie"};
        const auto combos = dialog.Combos();
        for (int i = 0; i < 6; ++i) {
            const QString n = QString::number(i + 1);
            QCOMPARE(group->findChild<QLabel*>("Label" + n)->text(), labels[i]);
            QCOMPARE(combos[i]->objectName(), "Combo" + n);
            QCOMPARE(combos[i]->parentWidget(), group);
            QVERIFY(combos[i]->x() >= 80 && combos[i]->width() >= 129 && combos[i]->height() >= 21);
            QCOMPARE(combos[i]->x(), combos[0]->x());
            QVERIFY(i == 0 || combos[i]->y() >= combos[i - 1]->y() + 24);
            QVERIFY(!combos[i]->isEditable() && !combos[i]->AutoApply() && !combos[i]->ComPort());
        }
        QCOMPARE(ItemsOf(combos[0]), QStringList({"COM1", "COM2", "ttyUSB0"}));
        QCOMPARE(combos[1]->count(), 16);
        QCOMPARE(ItemsOf(combos[5]), QStringList({"Hardware", "Software", "None", "Custom"}));
        // OK and Cancel side by side under the group, at its right edge.
        const QRect ok = dialog.OkButton()->geometry();
        const QRect cancel = dialog.CancelButton()->geometry();
        QVERIFY(ok.width() >= 75 && ok.height() >= 25 && cancel.width() >= 75 && cancel.height() == ok.height());
        QVERIFY(ok.top() >= group->geometry().bottom() + 7 && cancel.top() == ok.top());
        QCOMPARE(cancel.left(), ok.right() + 1 + 5);
        QCOMPARE(cancel.right(), group->geometry().right());
        QVERIFY(dialog.OkButton()->isDefault());
        // Tab order: the six lists, then OK, then Cancel.
        QWidget* w = combos[0];
        QStringList order;
        for (int i = 0; i < 8; ++i, w = w->nextInFocusChain())
            order << w->objectName();
        QCOMPARE(order,
                 QStringList({"Combo1", "Combo2", "Combo3", "Combo4", "Combo5", "Combo6", "Button1", "Button2"}));
    }

    void cancelAndCloseWriteNothing()
    {
        RecordingPort port;
        port.SetPort("COM1");
        port.Open();
        port.Log->Clear();
        const auto changeEverything = [](TComSetupFrm& d) {
            const auto c = d.Combos();
            Pick(c[0], "COM2");
            Pick(c[1], "110");
            Pick(c[2], "5");
            Pick(c[3], "1.5");
            Pick(c[4], "Mark");
            Pick(c[5], "Hardware");
        };
        ExecuteSetupDialog(port, [&](TComSetupFrm& d) {
            changeEverything(d);
            d.CancelButton()->click();
            return d.result();
        });
        ExecuteSetupDialog(port, [&](TComSetupFrm& d) {
            changeEverything(d);
            QTimer::singleShot(0, &d, [&d] { d.close(); });      // the window's close button
            QTimer::singleShot(30000, &d, [&d] { d.done(-1); }); // never hang the suite
            return d.exec();
        });
        QCOMPARE(port.Port(), std::string("COM1"));
        QCOMPARE(port.BaudRate(), br9600);
        QCOMPARE(port.DataBits(), dbEight);
        QCOMPARE(port.Parity().Bits(), prNone);
        QCOMPARE(port.FlowControl().FlowControl(), fcNone);
        QCOMPARE(port.OpenCount, 1);
        QVERIFY(port.Log->CallNames().empty());
    }

    void enterInTheModalDialogPressesOkAndEscapeDoesNothing()
    {
        RecordingPort port;
        port.SetPort("COM1");
        ExecuteSetupDialog(port, [](TComSetupFrm& d) {
            Pick(d.Combos()[1], "4800");
            QTimer::singleShot(0, &d, [&d] {
                QTest::keyClick(&d, Qt::Key_Escape);
                QVERIFY(d.isVisible());
                QTest::keyClick(&d, Qt::Key_Return);
            });
            QTimer::singleShot(30000, &d, [&d] { d.done(-1); });
            return d.exec();
        });
        QCOMPARE(port.BaudRate(), br4800);
    }

    // Two adapters of one kind differ in their serial numbers: each entry
    // shows its description and serial number, the popup widens to them
    // while the dialog keeps its width, and OK stores the bare name.
    void portsShowWhatTheSystemTellsOfThemAndStoreTheName()
    {
        RecordingPort port;
        port.SetPort("COM1");
        int plainWidth = 0;
        ExecuteSetupDialog(port, [&](TComSetupFrm& d) {
            plainWidth = d.sizeHint().width();
            return int(QDialog::Rejected);
        });
        UsePorts({PlainPort("COM1"), UsbAdapter("ttyUSB0", "A1B2"), UsbAdapter("ttyUSB1", "C3D4")});
        QStringList items;
        QString hint, boxHint, value;
        int width = 0, boxWidth = 0, rateBoxWidth = 0, popupWidth = 0, textWidth = 0;
        ExecuteSetupDialog(port, [&](TComSetupFrm& d) {
            TComComboBox* ports = d.Combos()[0];
            items = ItemsOf(ports);
            hint = ports->itemData(2, Qt::ToolTipRole).toString();
            d.show();
            width = QTest::qWaitForWindowExposed(&d) ? d.width() : 0;
            boxWidth = ports->width();
            rateBoxWidth = d.Combos()[1]->width();
            ports->showPopup();
            popupWidth = ports->view()->width();
            ports->hidePopup();
            textWidth = ports->fontMetrics().horizontalAdvance(items[2]);
            Pick(ports, items[2]);
            boxHint = ports->toolTip();
            value = ports->Text();
            return int(QDialog::Accepted);
        });
        QCOMPARE(width, plainWidth);
        QCOMPARE(boxWidth, rateBoxWidth);
        QVERIFY(popupWidth > textWidth);
        QCOMPARE(boxHint, hint);
        QCOMPARE(items[0], QString("COM1"));
        QCOMPARE(items[2], QString::fromStdString(DescribePort(UsbAdapter("ttyUSB1", "C3D4"))));
        QVERIFY2(items[1].startsWith("ttyUSB0") && items[1].contains("QEMU USB SERIAL") && items[1].contains("A1B2"),
                 qPrintable(items[1]));
        for (const char* fact : {"Producent: QEMU", "Nr seryjny: C3D4", "USB: 0403:6001", "1-1", "/dev/ttyUSB1"})
            QVERIFY2(hint.contains(QString::fromUtf8(fact)), qPrintable(hint));
        QCOMPARE(value, QString("ttyUSB1"));
        QCOMPARE(port.Port(), std::string("ttyUSB1"));
    }

    void showSettingsDialogWithoutAPortListFailsAndShowsNothing()
    {
        SetPortDetailsSource([](std::vector<TPortDetails>&) { return ENOENT; });
        InstallSetupDialog();
        RecordingPort port;
        try {
            port.ShowSettingsDialog(); // would block in exec() if the dialog were made
            QFAIL("no exception");
        } catch (const EReadError& e) {
            QCOMPARE(QString::fromStdString(e.Message()),
                     QString("Error reading Combo1.ComProperty: Registry error (win error code: %1)").arg(ENOENT));
        }
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<TComSetupFrm*>(w));
    }

    void autoApplyWritesEachPickAtOnce()
    {
        RecordingPort port;
        TComComboBox box;
        box.SetComProperty(cpParity);
        box.SetComPort(&port);
        box.SetAutoApply(true);
        QSignalSpy changed(&box, &TComComboBox::Changed);
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(port.Parity().Bits(), prOdd);
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(port.Parity().Bits(), prEven);
        QCOMPARE(changed.count(), 2);

        // Without AutoApply a pick is only held until WriteChoiceToPort.
        box.SetAutoApply(false);
        QTest::keyClick(&box, Qt::Key_Down);
        QCOMPARE(port.Parity().Bits(), prEven);
        box.WriteChoiceToPort();
        QCOMPARE(port.Parity().Bits(), prMark);
    }

    void failingAutoApplyIsReportedWithoutAChange()
    {
        std::vector<std::string> reports;
        SetExceptionReportHandler([&](const std::string& m) { reports.push_back(m); });
        PortFailingOn port("COM2");
        port.SetPort("COM1");
        port.Open();
        TComComboBox box;
        box.SetComProperty(cpPort);
        box.SetComPort(&port);
        box.SetAutoApply(true);
        QSignalSpy changed(&box, &TComComboBox::Changed);
        QTest::keyClick(&box, Qt::Key_Down); // COM1 -> COM2, which cannot be opened
        QCOMPARE(reports.size(), size_t(1));
        QVERIFY(reports[0].starts_with(PortErrorText(peOpenDevice)));
        QCOMPARE(changed.count(), 0);
    }

    void noneHasNoItems()
    {
        RecordingPort port;
        TComComboBox box;
        box.SetComProperty(cpBaudRate);
        box.SetComProperty(cpNone);
        box.SetComPort(&port);
        QCOMPARE(box.count(), 0);
        QCOMPARE(box.Text(), QString());
    }

    void destroyedPortUnbindsAndSelectsTheFirstItem()
    {
        auto port = std::make_unique<RecordingPort>();
        port->SetBaudRate(br115200);
        TComComboBox box;
        box.SetComProperty(cpBaudRate);
        box.SetComPort(port.get());
        QCOMPARE(box.Text(), QString("115200"));
        port.reset();
        QVERIFY(!box.ComPort());
        QCOMPARE(box.currentIndex(), 0);
        box.WriteChoiceToPort(); // unbound: nothing to write to
    }

    void rebindingAndDestroyingReleaseThePorts()
    {
        auto first = std::make_unique<RecordingPort>();
        RecordingPort second;
        second.SetDataBits(dbSix);
        auto box = std::make_unique<TComComboBox>();
        box->SetComProperty(cpDataBits);
        box->SetComPort(first.get());
        box->SetComPort(&second);
        QCOMPARE(box->Text(), QString("6"));
        box.reset();
        // A notification left behind on either port would now reach the
        // destroyed box (the address-sanitizer build reports it).
        first.reset();
    }
};

QTEST_MAIN(SetupDialogTest)
#include "setupdialog_test.moc"
