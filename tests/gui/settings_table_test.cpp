// Every row of the settings table reaches every front end: the stores keep
// it, the command line takes it (and its usage text names it), and each list
// of the setup dialog is a row, as is every line-format list a row offers.
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <set>
#include <sstream>

#include <velt/comport/ComSettingsTable.h>
#include <velt/comport/ui/CPortCtl.h>
#include <velt/comport/ui/CPortSetup.h>
#include "CliOptions.h"
#include "support/RecordingPort.h"

namespace {

// A text the setting takes whose value differs from the port's current one
// and from a fresh port's.
std::string OtherValue(const TPortSetting& Setting, const TCustomComPort& Port)
{
    const RecordingPort fresh;
    const std::string current = Setting.Text(Port);
    switch (Setting.Kind()) {
    case skName:
        return current + "x";
    case skList:
    case skRate:
        for (const char* text : Setting.Texts())
            if (text != current && text != Setting.Text(fresh))
                return text;
        break;
    case skChar:
        return "#" + std::to_string((Setting.Number(Port) + 1) % 256);
    case skNumber:
        return std::to_string(Setting.Number(Port) + 2);
    }
    return current;
}

std::string FileText(const std::string& Path)
{
    std::ifstream file(Path);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

TSettingsGroups AllGroups()
{
    return TSettingsGroups{sgBasic, sgFlowDetails, sgBuffer, sgTimeouts, sgParityDetails, sgExtras};
}

} // namespace

class SettingsTableTest : public QObject {
    Q_OBJECT
private slots:
    // Every row is changed on one port, stored, and read into a fresh one.
    void storesKeepEveryRow()
    {
        QTemporaryDir dir;
        const std::string ini = dir.filePath("port.ini").toStdString();
        RecordingPort changed;
        changed.SetSettingsGroups(AllGroups());
        for (const TPortSetting& setting : PortSettings()) {
            const std::string value = OtherValue(setting, changed);
            QVERIFY2(setting.Accepts(value), setting.Name());
            setting.SetTyped(changed, value);
        }
        changed.SaveSettings(ssIniFile, ini);
        const std::string stored = FileText(ini);

        RecordingPort fresh;
        RecordingPort restored;
        restored.SetSettingsGroups(AllGroups());
        restored.RestoreSettings(ssIniFile, ini);
        for (const TPortSetting& setting : PortSettings()) {
            QVERIFY2(stored.find(std::string("\n") + setting.Name() + "=") != std::string::npos, setting.Name());
            QVERIFY2(setting.Text(changed) != setting.Text(fresh), setting.Name());
            QCOMPARE(setting.Text(restored), setting.Text(changed));
        }
    }

    // Each row has an option of its own that the usage text names and that
    // changes the port's value.
    void commandLineTakesEveryRow()
    {
        const std::string usage = CliUsage();
        std::set<std::string> options;
        for (const TPortSetting& setting : PortSettings()) {
            const std::string option = std::string("--") + setting.Option();
            QVERIFY2(options.insert(option).second, option.c_str());
            QVERIFY2(usage.find("  " + option + " ") != std::string::npos, option.c_str());
            RecordingPort fresh;
            RecordingPort port;
            const CliParseResult parsed = ParseCliOptions({option, OtherValue(setting, fresh), "last"});
            QVERIFY2(parsed.Options.has_value(), parsed.Error.c_str());
            ApplyCliSettings(*parsed.Options, port);
            QVERIFY2(setting.Text(port) != setting.Text(fresh), option.c_str());
        }
    }

    // Each meter command with a word in the command table is a command of
    // velt-cli that the usage text names; the tool has no other meter words.
    void commandLineTakesEveryMeterCommand()
    {
        const std::string usage = CliUsage();
        int words = 0;
        for (const CommandButton& button : CommandButtons()) {
            if (button.Verb == nullptr)
                continue;
            ++words;
            QVERIFY2(usage.find("\n  " + std::string(button.Verb) + " ") != std::string::npos, button.Verb);
            std::vector<std::string> arguments{button.Verb};
            if (button.TakesNumber)
                arguments.push_back("28");
            const CliParseResult parsed = ParseCliOptions(arguments);
            QVERIFY2(parsed.Options.has_value(), parsed.Error.c_str());
            QVERIFY(parsed.Options->Command == CliCommand::Meter);
            QVERIFY(parsed.Options->Meter == button.Command);
            QCOMPARE(int(parsed.Options->Number), button.TakesNumber ? 28 : 1);
            QCOMPARE(&ButtonOf(button.Command), &button);
        }
        QCOMPARE(words, 4);
    }

    // The words the command line had before the table keep working, the
    // rate takes any number, and flow control takes all four values.
    void commandLineKeepsItsWords()
    {
        const CliParseResult parsed =
            ParseCliOptions({"--port", "ttyUSB1", "--baud=12345", "--data-bits", "7", "--parity", "even", "--stop-bits",
                             "2", "--flow", "custom", "last"});
        QVERIFY2(parsed.Options.has_value(), parsed.Error.c_str());
        RecordingPort port;
        port.FlowControl().SetFlowControl(fcHardware);
        ApplyCliSettings(*parsed.Options, port);
        QCOMPARE(port.Port(), std::string("ttyUSB1"));
        QCOMPARE(port.BaudRate(), brCustom);
        QCOMPARE(port.CustomBaudRate(), 12345);
        QCOMPARE(port.DataBits(), dbSeven);
        QCOMPARE(port.Parity().Bits(), prEven);
        QCOMPARE(port.StopBits(), sbTwoStopBits);
        QCOMPARE(port.FlowControl().FlowControl(), fcHardware); // custom changes no field

        const CliParseResult named = ParseCliOptions({"--baud", "115200", "last"});
        QVERIFY(named.Options.has_value());
        ApplyCliSettings(*named.Options, port);
        QCOMPARE(port.BaudRate(), br115200);
        for (const std::vector<std::string>& wrong :
             std::vector<std::vector<std::string>>{{"--baud", "0", "last"}, {"--flow", "sometimes", "last"}})
            QVERIFY(!ParseCliOptions(wrong).Options.has_value());
    }

    // What a person types is checked against the row: characters, ranges,
    // list texts in any case.
    void typedValuesAreChecked()
    {
        const TPortSetting& xon = *FindPortSetting("FlowControl.XonChar");
        QVERIFY(xon.Accepts("A") && xon.Accepts("#255") && !xon.Accepts("#256") && !xon.Accepts("AB"));
        const TPortSetting& interval = *FindPortSetting("Timeouts.ReadInterval");
        QVERIFY(interval.Accepts("-1") && !interval.Accepts("-2") && !interval.Accepts("1x"));
        const TPortSetting& rts = *FindPortSetting("FlowControl.ControlRTS");
        QVERIFY(rts.Accepts("toggle") && !rts.Accepts("Toggle "));
        RecordingPort port;
        xon.SetTyped(port, "#7");
        rts.SetTyped(port, "toggle");
        QCOMPARE(port.FlowControl().XonChar(), uint8_t(7));
        QCOMPARE(port.FlowControl().ControlRTS(), rtsToggle);
    }

    // The dialog's lists are rows, and every line-format row that offers a
    // list has one in the dialog, but for the advanced ones.
    void dialogListsEveryLineFormatRow()
    {
        std::set<TComProperty> listed;
        TComSetupFrm dialog;
        for (TComComboBox* combo : dialog.Combos()) {
            QVERIFY(PortSettingOf(combo->ComProperty()) != nullptr);
            listed.insert(combo->ComProperty());
        }
        for (const TPortSetting& setting : PortSettings()) {
            const bool offersList = setting.Kind() != skNumber && setting.Kind() != skChar;
            if (setting.Group() == sgBasic && offersList && !setting.Advanced())
                QVERIFY2(listed.count(setting.ComProperty()) == 1, setting.Name());
            else
                QCOMPARE(setting.ComProperty(), cpNone);
        }
    }
};

QTEST_MAIN(SettingsTableTest)
#include "settings_table_test.moc"
