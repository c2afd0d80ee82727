// The context menu of the list and its commands: they live in list_menu.cpp
// (the menu) and list_command_dispatch.cpp (the commands).
#include "messagelist/list_commands.h"

#include "messagelist/list_command_dispatch.h"
#include "messagelist/list_menu.h"
#include "messagelist/message_list.h"

namespace messagelist {

void ShowMessageListMenu() {
    ShowListMenu(messageListWindow);
}

int MessageListCommand(WPARAM command) {
    return RunListCommand(messageListWindow, command);
}

}  // namespace messagelist
