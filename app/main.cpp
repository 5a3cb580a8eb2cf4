// Velt: reads the measurements stored in a meter and sets its clock.
#include <velt/comport/ui/CPortSetup.h>
#include "ExceptionReportBox.h"
#include "HandlerGuard.h"
#include "MainVelt.h"
#include "PolishLanguage.h"
#include <velt/comport/ui/QtHandOver.h>

#include <QFont>

namespace {

// The form is designed for a narrow 8-point sans-serif face; where that face
// is missing, prefer ones of the same width so the captions fit the buttons.
void InstallFontSubstitutes()
{
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                                QStringLiteral("DejaVu Sans Condensed")});
}

} // namespace

int main(int argc, char* argv[])
{
    TVeltApplication application(argc, argv);
    // The application title of plain message boxes. Only the name is set: a
    // display name would be appended to the window's caption on X11.
    QApplication::setApplicationName(QStringLiteral("Velt"));
    // Ties the window to its menu entry, whose icon the desktop then shows.
    QGuiApplication::setDesktopFileName(QStringLiteral(VELT_DESKTOP_ID));
    InstallPolishLanguage(application);
    InstallFontSubstitutes();
    InstallQtHandOver();
    InstallSetupDialog();
    InstallExceptionReportBox(nullptr);

    TForm1 form;
    InstallExceptionReportBox(&form);
    form.showMaximized();
    const int result = application.exec();
    InstallExceptionReportBox(nullptr);
    return result;
}
