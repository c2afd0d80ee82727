// The context menu of the list and its commands (download, move, delete,
// upload) are added here by the list-commands work; until then a right
// click shows no menu and no command acts.
#include "messagelist/list_commands.h"

namespace messagelist {

void ShowMessageListMenu() {}

int MessageListCommand(WPARAM) {
    return 0;
}

}  // namespace messagelist
