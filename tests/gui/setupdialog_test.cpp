// The setup dialog and its lists, with the real widgets on the offscreen
// platform and a port on the recording device (or a real pseudo-terminal).
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
#include "support/ComErrors.h"
#include "support/PseudoTerminal.h"
#include "support/RecordingPort.h"

namespace {

// The machine's ports: Names, each described by the matching entry of
// Described or by its name alone.
void UseDevices(std::vector<std::string> Names, const std::vector<TPortDetails>& Described = {})
{
    std::vector<TPortDetails> details;
    for (const std::string& name : Names) {
        TPortDetails port;
        port.Name = name;
        for (const TPortDetails& described : Described)
            if (described.Name == name)
                port = described;
        details.push_back(port);
    }
    SetPortNameSource([Names](std::vector<std::string>& Out) {
        Out = Names;
        return 0;
    });
    SetPortDetailsSource([details](std::vector<TPortDetails>& Out) {
        Out = details;
        return 0;
    });
}

// An adapter as the system describes it.
TPortDetails Adapter(const std::string& Name, const std::string& Serial)
{
    TPortDetails port;
    port.Name = Name;
    port.DevicePath = "/dev/" + Name;
    port.Description = "QEMU USB SERIAL";
    port.Manufacturer = "QEMU";
    port.SerialNumber = Serial;
    port.Location = "1-1";
    port.VendorId = 0x0403;
    port.ProductId = 0x6001;
    port.IsUsb = true;
    port.Kind = pkUsb;
    return port;
}

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

QStringList Shown(const TComSetupFrm& Dialog)
{
    QStringList texts;
    for (TComComboBox* box : Dialog.Combos())
        texts << box->Text();
    return texts;
}

QStringList ItemsOf(const QComboBox* Box)
{
    QStringList items;
    for (int i = 0; i < Box->count(); ++i)
        items << Box->itemText(i);
    return items;
}

// The calls that write settings to the device, in order.
QStringList SettingWrites(const RecordingPort& Port)
{
    QStringList writes;
    for (const auto& name : Port.Log->CallNames())
        if (name == "SetupQueues" || name == "SetState" || name == "SetTimeouts")
            writes << QString::fromStdString(name);
    return writes;
}

const QStringList kOneApply{"SetupQueues", "SetState", "SetTimeouts"};

// The device record of the last line-settings write.
device::DeviceControlBlock LastState(const RecordingPort& Port)
{
    device::DeviceControlBlock dcb;
    for (const auto& call : Port.Log->Calls())
        if (call.Name == "SetState")
            dcb = call.Dcb;
    return dcb;
}

// A recording port whose device cannot be opened under one name.
class PortFailingOn : public RecordingPort {
public:
    explicit PortFailingOn(std::string Name) : FFailingName(std::move(Name)) {}

protected:
    void OpenDevice() override
    {
        if (Port() == FFailingName)
            throw EComPort(peOpenDevice, ENOENT);
        RecordingPort::OpenDevice();
    }

private:
    std::string FFailingName;
};

} // namespace

class SetupDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() { UseDevices({"COM2", "ttyUSB0", "COM1"}); }
    void cleanup()
    {
        SetPortNameSource({});
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

    void showsThePortsCurrentValues()
    {
        RecordingPort port;
        port.SetPort("COM2");
        port.SetBaudRate(br19200);
        QStringList shown;
        ExecuteSetupDialog(port, [&](TComSetupFrm& d) {
            shown = Shown(d);
            return int(QDialog::Rejected);
        });
        QCOMPARE(shown, QStringList({"COM2", "19200", "8", "1", "None", "None"}));
    }

    void okWritesEveryListInOneSettingsUpdate()
    {
        RecordingPort port;
        port.SetPort("COM1");
        port.Open();
        port.Log->Clear();
        ExecuteSetupDialog(port, [](TComSetupFrm& d) {
            const auto c = d.Combos();
            Pick(c[1], "57600");
            Pick(c[2], "7");
            Pick(c[3], "2");
            Pick(c[4], "Even");
            Pick(c[5], "Software");
            return int(QDialog::Accepted);
        });
        QCOMPARE(SettingWrites(port), kOneApply);
        QCOMPARE(port.BaudRate(), br57600);
        QCOMPARE(port.DataBits(), dbSeven);
        QCOMPARE(port.StopBits(), sbTwoStopBits);
        QCOMPARE(port.Parity().Bits(), prEven);
        QCOMPARE(port.FlowControl().FlowControl(), fcSoftware);
        QCOMPARE(LastState(port).BaudRate, 57600u);
        QCOMPARE(int(LastState(port).ByteSize), 7);
        QCOMPARE(port.SettingsUpdateDepth(), 0);

        // OK without a change still writes the device once.
        port.Log->Clear();
        ExecuteSetupDialog(port, [](TComSetupFrm&) { return int(QDialog::Accepted); });
        QCOMPARE(SettingWrites(port), kOneApply);
    }

    void okWithANewDeviceReopensThenWritesOnce()
    {
        RecordingPort port;
        port.SetPort("COM1");
        port.Open();
        port.Log->Clear();
        ExecuteSetupDialog(port, [](TComSetupFrm& d) {
            Pick(d.Combos()[0], "ttyUSB0");
            Pick(d.Combos()[1], "115200");
            return int(QDialog::Accepted);
        });
        QCOMPARE(port.Port(), std::string("ttyUSB0"));
        QCOMPARE(port.OpenCount, 2);
        QVERIFY(port.Connected());
        QCOMPARE(SettingWrites(port), kOneApply);
        QCOMPARE(LastState(port).BaudRate, 115200u);
    }

    void failingWriteEndsTheUpdateAndPropagates()
    {
        PortFailingOn port("COM2");
        port.SetPort("COM1");
        port.Open();
        const std::optional<EComPort> error = ComErrorOf([&] {
            ExecuteSetupDialog(port, [](TComSetupFrm& d) {
                Pick(d.Combos()[0], "COM2");
                Pick(d.Combos()[1], "300");
                return int(QDialog::Accepted);
            });
        });
        QVERIFY(error);
        QCOMPARE(error->PortErrorCode(), 1);
        QCOMPARE(port.SettingsUpdateDepth(), 0);
        QCOMPARE(port.BaudRate(), br9600); // the lists after the failing one are not written
        QVERIFY(!port.Connected());
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
        QVERIFY(SettingWrites(port).isEmpty());
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

    void portNameInOtherCaseIsFoundAndListedSpellingWritten()
    {
        RecordingPort port;
        port.SetPort("com2");
        QString shown;
        ExecuteSetupDialog(port, [&](TComSetupFrm& d) {
            shown = d.Combos()[0]->Text();
            return int(QDialog::Accepted);
        });
        QCOMPARE(shown, QString("COM2"));
        QCOMPARE(port.Port(), std::string("COM2"));
    }

    // The port in use is listed and selected whatever it is, marked when it
    // is not there now, so that OK after changing only the rate keeps it.
    void currentPortIsListedSelectedAndKept_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("shownAs");
        QTest::newRow("COMn name") << "COM3"
                                   << "COM3 (brak)";
        QTest::newRow("unplugged adapter") << "ttyUSB1"
                                           << "ttyUSB1 (brak)";
        QTest::newRow("gone path") << "/nonexistent/velt-port"
                                   << "/nonexistent/velt-port (brak)";
        QTest::newRow("existing path") << ""
                                       << "";
    }
    void currentPortIsListedSelectedAndKept()
    {
        QFETCH(QString, current);
        QFETCH(QString, shownAs);
        PseudoTerminal pty;
        if (current.isEmpty())
            current = shownAs = QString::fromStdString(pty.SlavePath());
        RecordingPort port;
        port.SetPort(current.toStdString());
        QStringList items;
        QString displayed, value;
        ExecuteSetupDialog(port, [&](TComSetupFrm& d) {
            TComComboBox* ports = d.Combos()[0];
            items = ItemsOf(ports);
            displayed = ports->currentText();
            value = ports->Text();
            Pick(d.Combos()[1], "19200");
            return int(QDialog::Accepted);
        });
        QCOMPARE(items, QStringList({"COM1", "COM2", "ttyUSB0", shownAs}));
        QCOMPARE(displayed, shownAs);
        QCOMPARE(value, current);
        QCOMPARE(QString::fromStdString(port.Port()), current);
        QCOMPARE(port.BaudRate(), br19200);
    }

    void absentPortPickedBackIsWrittenWithoutTheMark()
    {
        RecordingPort port;
        port.SetPort("COM3");
        ExecuteSetupDialog(port, [&](TComSetupFrm& d) {
            Pick(d.Combos()[0], "COM1");
            Pick(d.Combos()[0], "COM3 (brak)");
            return int(QDialog::Accepted);
        });
        QCOMPARE(port.Port(), std::string("COM3"));
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
        UseDevices({"COM1", "ttyUSB0", "ttyUSB1"}, {Adapter("ttyUSB0", "A1B2"), Adapter("ttyUSB1", "C3D4")});
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
        QCOMPARE(items[2], QString::fromStdString(DescribePort(Adapter("ttyUSB1", "C3D4"))));
        QVERIFY2(items[1].startsWith("ttyUSB0") && items[1].contains("QEMU USB SERIAL") && items[1].contains("A1B2"),
                 qPrintable(items[1]));
        for (const char* fact : {"Producent: QEMU", "Nr seryjny: C3D4", "USB: 0403:6001", "1-1", "/dev/ttyUSB1"})
            QVERIFY2(hint.contains(QString::fromUtf8(fact)), qPrintable(hint));
        QCOMPARE(value, QString("ttyUSB1"));
        QCOMPARE(port.Port(), std::string("ttyUSB1"));
    }

    // Ports plugged in or pulled out while the dialog is open: the list
    // follows, the operator's pick stays selected (marked while its adapter
    // is out) and is what OK stores; the port in use stays listed.
    void refreshedPortListKeepsTheSelection()
    {
        UseDevices({"COM1", "ttyUSB0"}, {Adapter("ttyUSB0", "A1B2")});
        RecordingPort port;
        port.SetPort("COM1");
        QStringList unplugged, replugged;
        QString kept;
        int selectedAtLast = -1;
        ExecuteSetupDialog(port, [&](TComSetupFrm& d) {
            TComComboBox* ports = d.Combos()[0];
            Pick(ports, ports->itemText(1));
            UseDevices({"ttyUSB1"});
            ports->RefreshPortList();
            unplugged = ItemsOf(ports);
            kept = ports->currentText();
            UseDevices({"COM1", "ttyUSB0"}, {Adapter("ttyUSB0", "A1B2")});
            ports->RefreshPortList();
            replugged = ItemsOf(ports);
            selectedAtLast = ports->currentIndex();
            return int(QDialog::Accepted);
        });
        QCOMPARE(selectedAtLast, 1);
        QCOMPARE(unplugged, QStringList({"ttyUSB1", "COM1 (brak)", "ttyUSB0 (brak)"}));
        QCOMPARE(kept, QString("ttyUSB0 (brak)"));
        QCOMPARE(replugged, QStringList({"COM1", QString::fromStdString(DescribePort(Adapter("ttyUSB0", "A1B2")))}));
        QCOMPARE(port.Port(), std::string("ttyUSB0"));
    }

    void showSettingsDialogWithoutAPortListFailsAndShowsNothing()
    {
        SetPortNameSource([](std::vector<std::string>&) { return ENOENT; });
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

    void programSelectionIsNotAChoice()
    {
        RecordingPort port;
        TComComboBox box;
        box.SetComProperty(cpFlowControl);
        box.SetComPort(&port);
        QCOMPARE(box.Text(), QString("None"));
        QSignalSpy changed(&box, &TComComboBox::Changed);
        box.SetText("hardware");
        QCOMPARE(box.Text(), QString("Hardware"));
        box.SetText("Sometimes");
        QCOMPARE(box.Text(), QString("Hardware"));
        box.WriteChoiceToPort();
        QCOMPARE(port.FlowControl().FlowControl(), fcNone);
        QCOMPARE(changed.count(), 0);
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
