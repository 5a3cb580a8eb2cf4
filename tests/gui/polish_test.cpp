// Qt's own texts in what the window opens, the save dialog and the pane's
// context menu, are Polish like the rest of the window.
#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTextEdit>

#include "PolishLanguage.h"
#include "SaveFileDialog.h"

namespace {

QStringList VisibleTexts(const QWidget& Window)
{
    QStringList texts{Window.windowTitle()};
    for (const auto* button : Window.findChildren<QAbstractButton*>())
        if (button->isVisible())
            texts << (button->text().isEmpty() ? button->toolTip() : button->text());
    for (const auto* label : Window.findChildren<QLabel*>())
        if (label->isVisible() && !label->text().isEmpty())
            texts << label->text();
    return texts;
}

} // namespace

class PolishTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(InstallPolishLanguage(*QCoreApplication::instance())); }

    void saveDialogIsPolish()
    {
        const auto dialog = NewSaveFileDialog(nullptr, {QStringLiteral("Pliki tekstowe (*.txt)"), QStringLiteral("txt")});
        // The desktop's own dialog would follow the desktop's language.
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QCOMPARE(VisibleTexts(*dialog),
                 QStringList({"Zachowaj jako", "Powrót", "Do przodu", "Katalog wyżej", "Utwórz nowy katalog", "Lista",
                              "Szczegóły", "&Zachowaj", "Anuluj", "Szukaj w:", "Nazwa &pliku:", "Pliki rodzaju:"}));
    }

    void paneMenuIsPolish()
    {
        QTextEdit pane;
        pane.setPlainText(QStringLiteral("Pomiar"));
        const std::unique_ptr<QMenu> menu(pane.createStandardContextMenu());
        QStringList texts;
        for (const auto* action : menu->actions())
            texts << action->text();
        QCOMPARE(texts, QStringList({"&Cofnij\tCtrl+Z", "&Przywróć\tCtrl+Y", "", "W&ytnij\tCtrl+X",
                                     "S&kopiuj\tCtrl+C", "&Wklej\tCtrl+V", "Usuń", "", "Zaznacz wszystko\tCtrl+A"}));
    }
};

QTEST_MAIN(PolishTest)
#include "polish_test.moc"
