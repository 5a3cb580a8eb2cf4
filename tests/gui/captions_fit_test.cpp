// The window and the setup dialog with a wide font at large sizes, at the
// device scale the test is registered with (QT_SCALE_FACTOR): every caption
// shows whole, and the controls keep their arrangement.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLayout>
#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <velt/comport/PortList.h>
#include <velt/comport/ui/CPortCtl.h>
#include <velt/comport/ui/CPortSetup.h>
#include "MainVelt.h"
#include "QtTestMain.h"

namespace {

// A wide face (the default of a minimal Debian), made wider still, at the
// design's 8 points scaled by 150 % and 200 %.
QList<QFont> WideFonts()
{
    QList<QFont> fonts;
    for (int points : {12, 16}) {
        QFont font(QStringLiteral("DejaVu Sans"), points);
        font.setLetterSpacing(QFont::PercentageSpacing, 115);
        fonts << font;
    }
    return fonts;
}

// The controls under Top whose text does not fit them: narrower or lower than
// the size their style needs to show it whole.
QStringList CutCaptions(const QWidget& Top)
{
    QStringList cut;
    const auto check = [&cut](const QWidget* Widget, const QString& Text, QSize Needed) {
        if (Widget->isVisible() && (Widget->width() < Needed.width() || Widget->height() < Needed.height()))
            cut << QStringLiteral("%1 \"%2\": %3x%4 < %5x%6")
                       .arg(Widget->objectName(), Text)
                       .arg(Widget->width())
                       .arg(Widget->height())
                       .arg(Needed.width())
                       .arg(Needed.height());
    };
    for (const QAbstractButton* button : Top.findChildren<QAbstractButton*>())
        check(button, button->text(), button->sizeHint());
    for (const QLabel* label : Top.findChildren<QLabel*>())
        check(label, label->text(), label->sizeHint());
    for (const QGroupBox* group : Top.findChildren<QGroupBox*>())
        check(group, group->title(), group->minimumSizeHint());
    for (const QSpinBox* spin : Top.findChildren<QSpinBox*>())
        check(spin, spin->text(), spin->minimumSizeHint());
    return cut;
}

QRect GeometryOf(const QWidget& Top, const QString& Name)
{
    const auto* child = Top.findChild<QWidget*>(Name);
    return child ? QRect(child->mapTo(&Top, QPoint(0, 0)), child->size()) : QRect();
}

// Names, top to bottom, each below the one before, all in one column.
bool OneColumn(const QWidget& Top, const QStringList& Names)
{
    for (qsizetype i = 1; i < Names.size(); ++i) {
        const QRect above = GeometryOf(Top, Names[i - 1]);
        const QRect below = GeometryOf(Top, Names[i]);
        if (below.top() <= above.bottom() || below.left() != above.left() || below.width() != above.width())
            return false;
    }
    return true;
}

void Settle(QWidget& Top)
{
    Top.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Top));
    QCoreApplication::processEvents();
}

} // namespace

class CaptionsFitTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        SetPortNameSource([](std::vector<std::string>& Out) {
            Out = {"ttyS0", "ttyUSB0"};
            return 0;
        });
    }

    void windowCaptionsShowWhole()
    {
        for (const QFont& font : WideFonts()) {
            TForm1 form;
            form.setFont(font);
            Settle(form);
            // A window as large as its controls need (a maximized one on a large screen).
            form.resize(form.layout()->totalSizeHint().expandedTo(QSize(600, 400)));
            // The transfer's label and bar too, as a read shows them.
            form.findChild<QWidget*>("lTransmisja")->show();
            form.findChild<QWidget*>("pb")->show();
            QCoreApplication::processEvents();
            const QStringList cut = CutCaptions(form);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));

            QVERIFY(OneColumn(form, {"bUstawienia", "Label2", "SpinEdit1", "bPomZPam", "bOstatniPom", "bWszystPom",
                                     "bCzyscEkran", "bKopiujDoSchowka", "bZapiszDoPliku", "bUstawZegar"}));
            // The panel on the right of the pane, the transfer's label and bar under the buttons.
            const QRect panel = GeometryOf(form, "Panel1");
            QCOMPARE(panel.right(), form.width() - 1);
            QVERIFY(GeometryOf(form, "Memo").right() < panel.left());
            QVERIFY(GeometryOf(form, "lTransmisja").top() > GeometryOf(form, "bUstawZegar").bottom());
            QVERIFY(GeometryOf(form, "pb").top() > GeometryOf(form, "lTransmisja").bottom());
        }
    }

    void dialogCaptionsShowWhole()
    {
        for (const QFont& font : WideFonts()) {
            TComSetupFrm dialog;
            dialog.setFont(font);
            Settle(dialog);
            const QStringList cut = CutCaptions(dialog);
            QVERIFY2(cut.isEmpty(), qPrintable(cut.join("; ")));

            // Each label left of its list, the lists in one column, OK then
            // Cancel under the group, at its right edge.
            QStringList lists;
            for (int row = 1; row <= 6; ++row) {
                const QString n = QString::number(row);
                QVERIFY(GeometryOf(dialog, "Label" + n).right() < GeometryOf(dialog, "Combo" + n).left());
                lists << "Combo" + n;
            }
            QVERIFY(OneColumn(dialog, lists));
            const QRect group = GeometryOf(dialog, "GroupBox1");
            const QRect ok = GeometryOf(dialog, "Button1");
            const QRect cancel = GeometryOf(dialog, "Button2");
            QVERIFY(ok.top() > group.bottom() && ok.top() == cancel.top());
            QVERIFY(ok.right() < cancel.left());
            QCOMPARE(cancel.right(), group.right());
        }
    }
};

VELT_QT_TEST_MAIN(CaptionsFitTest)

#include "captions_fit_test.moc"
