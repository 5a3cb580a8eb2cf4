#pragma once
// Shows the framework's exception reports in error boxes (through the
// message-box seam), one at a time on the main thread. Reports that come
// while a box is open wait in a short queue and are shown after it; past the
// queue's length they are only counted, and one last box tells how many were
// left out, so a burst of failures cannot pile up boxes without end.
#include <QString>
#include <cstddef>

class QWidget;

// Installs the report handler. Parent is the window the boxes belong to (may
// be null); call again with null before that window goes away.
void InstallExceptionReportBox(QWidget* Parent);

// The report's own entry, exposed for tests: shows or queues one message.
void ShowExceptionReport(const QString& Message);

inline constexpr std::size_t kMaxQueuedReports = 8;
