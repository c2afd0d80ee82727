#include "messagelist/list_command_dispatch.h"

#include "messagelist/list_menu.h"
#include "messagelist/move_targets.h"
#include "messagelist/row_commands.h"
#include "messagelist/transfer_commands.h"

namespace messagelist {

int RunListCommand(HWND list, WPARAM wParam) {
    if (HIWORD(wParam) != 0) return 0;  // menus only; the list has no accelerators
    const unsigned command = LOWORD(wParam);
    switch (command) {
    case CmdDownloadAttachment: DownloadAttachmentCommand(list); break;
    case CmdDeleteRows: DeleteRowsCommand(list); break;
    case CmdUploadFile: UploadFileCommand(list); break;
    case CmdDownloadMail:
    case CmdMoveTo:
    case CmdAttachmentsOnly:
    case CmdNextPage:
    case CmdProperties: break;
    default:
        if (IsMoveCommand(command)) MoveRowsCommand(list, command);
        break;
    }
    return 0;
}

}  // namespace messagelist
