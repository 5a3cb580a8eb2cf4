#pragma once
// Shows the framework's exception reports in error boxes (through the
// message-box seam), captioned with the application's title, one at a time
// on the main thread (see ReportQueue).
class QWidget;

// Installs the report handler. Parent is the window the boxes belong to (may
// be null); call again with null before that window goes away.
void InstallExceptionReportBox(QWidget* Parent);
