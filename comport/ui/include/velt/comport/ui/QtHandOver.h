#pragma once
/// @file
/// Lets Qt's event loop serve the serial-port component's main-thread
/// hand-overs. Call once, on the GUI thread, after the QApplication exists;
/// calling it again does nothing.
#include <velt/comport/Export.h>

VELT_COMPORT_UI_EXPORT void InstallQtHandOver();
