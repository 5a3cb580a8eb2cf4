#pragma once
// Lets Qt's event loop serve the serial-port component's main-thread
// hand-overs. Call once, on the GUI thread, after the QApplication exists;
// calling it again does nothing.
void InstallQtHandOver();
