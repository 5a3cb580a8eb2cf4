#pragma once
// The port's setup dialog on Windows: a modal dialog of the system's own
// controls that draws the component's setup (TComSetup: a pick-only list per
// line setting it offers, each showing the port's current value, the port
// list following the port watcher) and forwards the operator's picks. OK
// writes every choice in the setup's one settings update; Cancel and the
// close button write nothing. A setting added to the component's table
// appears here by itself.
#include <windows.h>

#include <functional>

class TCustomComPort;

// The lists' control ids: the list of the i-th setting shown is
// kFirstSettingList + i, its label kFirstSettingLabel + i.
constexpr int kFirstSettingList = 200;
constexpr int kFirstSettingLabel = 300;

// Called when the dialog has been filled, with its window: a test picks
// values (CB_SELECTSTRING) and ends it (WM_COMMAND IDOK or IDCANCEL) by
// messages. Empty: the operator works the dialog.
using TSetupDialogHook = std::function<void(HWND Dialog)>;
void SetSetupDialogHook(TSetupDialogHook Hook);

// Shows the dialog for Port and writes the choices when the operator
// confirms. The port list's failure (EComPort) leaves before the dialog shows;
// a setting the port refuses leaves after the update has ended.
void ExecuteSetupDialog(TCustomComPort& Port);
// Makes TCustomComPort::ShowSettingsDialog run ExecuteSetupDialog.
void InstallSetupDialog();
