#pragma once
// The window speaks Polish, whatever the desktop's language: Qt's own texts
// (the file dialog, standard buttons, context menus) must too.
class QCoreApplication;

// Makes Polish the default locale and loads Qt's Polish translations.
// Returns false, after a warning on standard error, when they are missing;
// the program then works with Qt's texts in English.
bool InstallPolishLanguage(QCoreApplication& Application);
