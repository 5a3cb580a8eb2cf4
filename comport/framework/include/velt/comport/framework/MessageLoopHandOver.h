#pragma once
/// @file
/// Windows only. The component's hand-over for a program whose main loop is
/// the Windows message loop (GetMessage and DispatchMessage, and the modal loops of boxes
/// and dialogs alike). Calls handed to the main thread run from a message to
/// a message-only window; the objects the component watches (a port's device
/// events, served on the main thread without an event thread) are waited for
/// by the system's thread pool, which posts a message when one is signalled.
///
/// A watched object is not waited for again until the call it caused has
/// returned: a handler that runs a modal loop (a message box) never receives
/// the next events of its own port inside that loop.
#include <velt/comport/Export.h>

/// On the main thread, before the first port opens. Throws std::runtime_error
/// when the window cannot be made.
VELT_COMPORT_EXPORT void InstallMessageLoopHandOver();
/// On the main thread, before its message loop ends for good: calls already
/// posted are dropped, and ports opened later use event threads again.
VELT_COMPORT_EXPORT void RemoveMessageLoopHandOver();
