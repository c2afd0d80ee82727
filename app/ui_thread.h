// The way back to the user-interface thread: a task posted to a
// message-only window that lives on that thread runs there, also inside
// modal loops (message boxes, menus, dialogs). Workers never touch a window
// themselves.
#pragma once

#include "app/executor.h"

namespace app {

// Makes the message-only window on the calling thread, which from then on
// runs the posted tasks. Call it on the user-interface thread before any
// work starts; later calls do nothing.
bool PrepareUiThread();

// Any thread: queues `task` for the user-interface thread. False, with the
// task dropped, when there is no such window or the queue refused it.
bool PostToUiThread(Task task);

}  // namespace app
