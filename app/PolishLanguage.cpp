#include "PolishLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallPolishLanguage(QCoreApplication& Application)
{
    const QLocale polish(QLocale::Polish, QLocale::Poland);
    QLocale::setDefault(polish);
    // Qt's own catalogue where Qt keeps it; a bundled copy next to the
    // program where Qt comes with the program rather than the system.
    const QStringList folders = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                 QCoreApplication::applicationDirPath() + QStringLiteral("/translations")};
    auto* translator = new QTranslator(&Application);
    for (const QString& folder : folders) {
        if (translator->load(polish, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
    }
    delete translator;
    qWarning("Qt's Polish translations (qtbase_pl.qm) are missing from %s; Qt's own dialogs stay in English.",
             qPrintable(folders.join(QStringLiteral(", "))));
    return false;
}
