#pragma once
/// @file
/// Lets Qt's event loop serve the serial-port component's main-thread
/// hand-overs, and makes it the main loop the component knows: ports opened
/// on the GUI thread afterwards have the loop wait on their devices and
/// process their line events inside it, without an event thread (except with
/// smNone). Call once, on the GUI thread, after the QApplication exists;
/// calling it again does nothing.
#include <velt/comport/Export.h>

/// Makes Qt's event loop the main loop of the component (see the file's description).
VELT_COMPORT_UI_EXPORT void InstallQtHandOver();
