#pragma once
// The main() of a window test: the offscreen platform unless one is named, a
// settings home of its own (no user settings are read or written), the
// program's application object and the Qt hand-over.
#include <QTemporaryDir>
#include <QTest>

#include <velt/comport/ui/QtHandOver.h>

#include "HandlerGuard.h"

#define VELT_QT_TEST_MAIN(TestClass)                                                                                   \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        QTemporaryDir configHome;                                                                                      \
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());                                                   \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                                            \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                                                   \
        TVeltApplication application(argc, argv);                                                                      \
        InstallQtHandOver();                                                                                           \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
