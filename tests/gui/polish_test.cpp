// Qt's own texts in what the window opens, the save dialog and the pane's
// context menu, are Polish like the rest of the window.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTreeView>

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

// The texts of a row of the dialog's detailed file list, found by name.
QStringList RowTexts(const QFileDialog& Dialog, const QString& Name)
{
    const auto* list = Dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    const QAbstractItemModel* model = list->model();
    const QModelIndex folder = list->rootIndex();
    for (int row = 0; row < model->rowCount(folder); ++row) {
        if (model->index(row, 0, folder).data().toString() != Name)
            continue;
        QStringList texts;
        for (int column = 0; column < model->columnCount(folder); ++column)
            texts << model->index(row, column, folder).data().toString();
        return texts;
    }
    return {};
}

} // namespace

class PolishTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(InstallPolishLanguage(*QCoreApplication::instance())); }

    void saveDialogIsPolish()
    {
        const auto dialog =
            NewSaveFileDialog(nullptr, {QStringLiteral("Pliki tekstowe (*.txt)"), QStringLiteral("txt")});
        // The desktop's own dialog would follow the desktop's language.
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QCOMPARE(VisibleTexts(*dialog),
                 QStringList({"Zachowaj jako", "Powrót", "Do przodu", "Katalog wyżej", "Utwórz nowy katalog", "Lista",
                              "Szczegóły", "&Zachowaj", "Anuluj", "Szukaj w:", "Nazwa &pliku:", "Pliki rodzaju:"}));

        // Sizes, dates and folders in the file list as well.
        QTemporaryDir files;
        QVERIFY(QDir(files.path()).mkdir(QStringLiteral("pomiary")));
        QFile file(files.filePath(QStringLiteral("wyniki.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2560, 'x'));
        QVERIFY(file.flush());
        QVERIFY(file.setFileTime(QDateTime(QDate(2026, 3, 15), QTime(10, 30)), QFileDevice::FileModificationTime));
        file.close();
        dialog->setDirectory(files.path());
        QTRY_VERIFY(!RowTexts(*dialog, QStringLiteral("wyniki.txt")).isEmpty());
        QCOMPARE(RowTexts(*dialog, QStringLiteral("wyniki.txt")).at(1), QStringLiteral("2,50 KiB"));
        QCOMPARE(RowTexts(*dialog, QStringLiteral("wyniki.txt")).at(3), QStringLiteral("15.03.2026 10:30"));
        QCOMPARE(RowTexts(*dialog, QStringLiteral("pomiary")).at(2), QStringLiteral("Katalog"));
    }

    void paneMenuIsPolish()
    {
        QTextEdit pane;
        pane.setPlainText(QStringLiteral("Pomiar"));
        const std::unique_ptr<QMenu> menu(pane.createStandardContextMenu());
        QStringList texts;
        for (const auto* action : menu->actions())
            texts << action->text();
        QCOMPARE(texts, QStringList({"&Cofnij\tCtrl+Z", "&Przywróć\tCtrl+Y", "", "W&ytnij\tCtrl+X", "S&kopiuj\tCtrl+C",
                                     "&Wklej\tCtrl+V", "Usuń", "", "Zaznacz wszystko\tCtrl+A"}));
    }
};

QTEST_MAIN(PolishTest)
#include "polish_test.moc"
