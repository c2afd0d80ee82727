// The question for an upload whose name is taken in the folder: a task
// dialog with 覆盖 / 跳过 / 保留两者 and the check box "对所有文件".
#pragma once

#include <windows.h>

#include <functional>

#include "app/transfer_conflict.h"

namespace app {

// The asker the windows hand to Desktop::QueueUploads; the dialog is owned
// by `owner`.
ConflictAsker ConflictDialog(HWND owner);

// Tests answer the question here instead of the dialog (an empty hook
// restores it); returns the hook it replaces.
using ConflictHook = std::function<ConflictAnswer(const std::string& name)>;
ConflictHook SetConflictHook(ConflictHook hook);

}  // namespace app
