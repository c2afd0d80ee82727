// How the transfer workers reach the user-interface thread: they post a task
// to a message-only window that lives on that thread, which runs it there,
// also inside modal loops (message boxes, menus, dialogs). Workers never
// touch a window themselves.
#pragma once

#include <functional>

namespace messagelist {

using UiTask = std::function<void()>;

// Makes the message-only window on the calling thread, which from then on
// runs the posted tasks. Call it on the user-interface thread before a
// worker may post (the start procedures do); later calls do nothing.
bool PrepareUiThreadMailbox();

// Any thread: queues `task` for the user-interface thread. False, with the
// task dropped, when there is no mailbox or the queue refused it.
bool PostToUiThread(UiTask task);

// True on the thread that made the mailbox.
bool OnUiThread();

}  // namespace messagelist
