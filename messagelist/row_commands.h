// The context-menu commands that change the open folder on the provider:
// deleting and moving the checked rows, or else the selected ones. They run
// on the user-interface thread and end by reloading the open folder.
#pragma once

#include <windows.h>

#include <string>

#include "session/message_moves.h"

namespace messagelist {

// "删除选择行".
void DeleteRowsCommand(HWND list);

// A command of the "移动到 =>" submenu; a number the shown menu did not hand
// out does nothing.
void MoveRowsCommand(HWND list, unsigned command);

// Moves the messages into the folder, then lists the open folder again.
void MoveMessagesAndReload(const std::string& targetFolderId, session::MessageIdQueue ids);

// Lists the open folder into the Session's messageTable and refills the list.
void ReloadOpenFolder();

}  // namespace messagelist
