#include "messagelist/row_commands.h"

#include <mutex>

#include "mainwindow/status_label.h"
#include "mainwindow/ui_globals.h"
#include "messagelist/list_menu.h"
#include "messagelist/list_selection.h"
#include "messagelist/message_page.h"
#include "messagelist/transfer_status.h"
#include "signin/app_state.h"

namespace messagelist {

namespace {
session::MessageIdQueue IdsOf(const std::vector<int>& rows) {
    std::lock_guard<std::recursive_mutex> lock(messageTableLock);
    return IdsOfRows(ui::TheSession().messageTable, rows);
}
}  // namespace

void ReloadOpenFolder() {
    ReloadMessagePage(ui::TheSession(), mainwindow::CurrentFolderId());
}

void MoveMessagesAndReload(const std::string& targetFolderId, session::MessageIdQueue ids) {
    ui::AlertIfUnreachable(session::MoveMessages(ui::TheSession(), std::move(ids), targetFolderId),
                           session::AlertedOperation::MoveMessages);
    ReloadOpenFolder();
}

void DeleteRowsCommand(HWND list) {
    ChosenItems chosen = ChosenRows(list);
    ShowStatusText(kDeletingText);
    ui::AlertIfUnreachable(session::DeleteMessages(ui::TheSession(), IdsOf(chosen.items)),
                           session::AlertedOperation::DeleteMessages);
    ReloadOpenFolder();
    ShowStatusText(mainwindow::kReadyText);
}

void MoveRowsCommand(HWND list, unsigned command) {
    std::optional<std::string> target = ShownMoveTargets().FolderFor(command);
    if (!target) return;
    ChosenItems chosen = ChosenRows(list);
    session::MessageIdQueue ids = IdsOf(chosen.items);
    if (!chosen.checked) {
        MoveMessagesAndReload(*target, std::move(ids));
        return;
    }
    ShowStatusText(kMovingText);
    MoveMessagesAndReload(*target, std::move(ids));
    ShowStatusText(kMoveDoneText);
}

}  // namespace messagelist
