// Opening a folder into the message list.
#include <cstring>

#include "mainwindow/folder_commands.h"
#include "mainwindow/folder_refresh.h"
#include "mainwindow/folder_tree.h"
#include "mainwindow/notice_pane.h"
#include "mainwindow/tree_kind.h"
#include "mainwindow/ui_globals.h"
#include "messagelist/list_title.h"
#include "messagelist/message_list.h"
#include "messagelist/message_page.h"
#include "messagelist/text_convert.h"
#include "signin/app_state.h"

namespace mainwindow {

namespace {
constexpr std::size_t kFolderTitleBytes = 99;
constexpr std::size_t kFolderTitleUnits = kFolderTitleBytes + 1;
}  // namespace

std::string FolderTitle(const session::FolderTable& table, const std::string& folderId) {
    if (!table.rows) return {};
    std::uint32_t wanted = FolderIdToItemData(folderId.c_str());
    for (std::size_t i = 0; i < session::kFolderRows; ++i) {
        const session::FolderRow& row = table.rows[i];
        if (row.id[0] == '\0' || FolderIdToItemData(row.id) != wanted) continue;
        std::string title = row.name;
        title += "(";
        title += row.unreadMessageCount;
        title += "/";
        title += row.messageCount;
        title += ")";
        return messagelist::CutUtf8(title, kFolderTitleBytes);
    }
    return {};
}

void OpenFolderItem(HTREEITEM item) {
    DestroyNoticePane();
    if (!messagelist::messageListWindow) messagelist::CreateMessageListArea();
    OpenFolder(std::to_string(TreeItemData(folderTree, item)));
}

int OpenFolder(const std::string& folderId) {
    session::Session& session = ui::TheSession();
    wchar_t title[kFolderTitleUnits];
    messagelist::Utf8ToWide(FolderTitle(session.folderTable, folderId).c_str(), title);
    SetWindowTextW(messagelist::folderTitleLabel, title);
    SetCurrentFolderId(folderId);
    FolderWork work;
    messagelist::ReloadMessagePage(session, folderId);
    return 0;
}

}  // namespace mainwindow
