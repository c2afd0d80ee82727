// Process-wide state that every window of the program shares: the one
// session with the provider and the module instance kept by the entry
// procedure. Windows code only (signin/, mainwindow/, messagelist/).
#pragma once

#include <windows.h>

#include "session/session.h"
#include "session/status.h"

namespace ui {

// The program's one Session, built on first use and released at exit.
// Used on the user-interface thread, and by the transfer workers for the
// fields the Session marks as theirs.
session::Session& TheSession();

// The module instance handle: set by the entry procedure (or a test's
// main), read by the windows for their icon and classes.
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// Shows the "Error" box of `operation` when its request could not reach
// the provider; does nothing for any other status.
void AlertIfUnreachable(session::Status status, session::AlertedOperation operation);

// Loads the common controls once per process (the manifest asks for
// version 6 of them).
void InitialiseCommonControls();

}  // namespace ui
