// The folder tree against the provider: its items, opening folders into the
// message list, new folder, rename by label edit, delete, and reloads.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "live_main_window.h"
#include "mainwindow/folder_commands.h"
#include "mainwindow/folder_refresh.h"
#include "mainwindow/folder_tree.h"
#include "mainwindow/notice_pane.h"
#include "mainwindow/tree_menu.h"
#include "mainwindow/ui_globals.h"
#include "messagelist/list_title.h"
#include "messagelist/message_list.h"
#include "messagelist/size_text.h"
#include "platform/text.h"
#include "screenshot.h"
#include "session/folders.h"
#include "signin/app_state.h"
#include "ui_driver.h"

namespace {

using wintest::LiveMainWindow;

std::wstring W(const std::string& utf8) {
    return platform::Utf8ToWide(utf8);
}

std::wstring ListCell(int item, int subItem) {
    wchar_t text[300] = {};
    LVITEMW lvi{};
    lvi.iSubItem = subItem;
    lvi.pszText = text;
    lvi.cchTextMax = 300;
    SendMessageW(messagelist::messageListWindow, LVM_GETITEMTEXTW, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&lvi));
    return text;
}

int ListCount() {
    return static_cast<int>(SendMessageW(messagelist::messageListWindow, LVM_GETITEMCOUNT, 0, 0));
}

// A name no other test run uses.
std::wstring UniqueName(const wchar_t* stem) {
    return stem + std::to_wstring(GetTickCount());
}

TEST_F(LiveMainWindow, TheTreeShowsTheAccountsFolders) {
    ASSERT_NE(AccountItem(), nullptr);
    std::vector<wintest::TreeEntry> roots = Children(TVI_ROOT);
    ASSERT_EQ(roots.size(), 1u);
    EXPECT_EQ(roots[0].text, L"demo@163.example");
    EXPECT_EQ(roots[0].data, 65537u);
    std::vector<wintest::TreeEntry> mail = Children(AccountItem());
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0].text, L"电子邮件");
    EXPECT_EQ(mail[0].data, 65537u);
    EXPECT_TRUE(TreeView_GetItemState(Tree(), AccountItem(), TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_TRUE(TreeView_GetItemState(Tree(), MailRootItem(), TVIS_EXPANDED) & TVIS_EXPANDED);

    std::vector<wintest::ProviderFolder> folders = ProviderFolders();
    std::vector<wintest::TreeEntry> items = FolderItems();
    ASSERT_GE(folders.size(), 7u);  // five system folders and the tests' two
    ASSERT_EQ(items.size(), folders.size());
    for (std::size_t i = 0; i < folders.size(); ++i) {
        EXPECT_EQ(items[i].text, W(folders[i].name));
        EXPECT_EQ(std::to_string(items[i].data), folders[i].id);
    }
    EXPECT_EQ(items[0].text, L"收件箱");
    EXPECT_EQ(items[0].data, 1u);
    // User folders carry ids of 65550 and more, whole.
    HTREEITEM work = FolderItem(L"工作文档");
    ASSERT_NE(work, nullptr);
    EXPECT_GE(mainwindow::TreeItemData(Tree(), work), 65550u);
    EXPECT_EQ(mainwindow::ClassifyTreeItem(Tree(), work), 65549u);
    EXPECT_EQ(mainwindow::ClassifyTreeItem(Tree(), FolderItem(L"已发送")), 65540u);
    EXPECT_EQ(mainwindow::TreeItemBackground(CDIS_SELECTED), RGB(255, 110, 165));
    EXPECT_EQ(mainwindow::TreeItemBackground(CDIS_SELECTED | CDIS_FOCUS), RGB(255, 110, 165));
    EXPECT_EQ(mainwindow::TreeItemBackground(CDIS_SELECTED | CDIS_HOT), RGB(255, 255, 255));
    EXPECT_EQ(TreeView_GetBkColor(Tree()), RGB(255, 255, 255));
}

TEST_F(LiveMainWindow, OpeningAFolderFillsTheListWithItsMessages) {
    HTREEITEM work = FolderItem(L"工作文档");
    ASSERT_NE(work, nullptr);
    std::string id = std::to_string(mainwindow::TreeItemData(Tree(), work));
    Select(work);
    EXPECT_EQ(TreeNotify(NM_DBLCLK), 0);

    ASSERT_TRUE(IsWindow(messagelist::messageListWindow));
    EXPECT_EQ(mainwindow::noticePane, nullptr);
    EXPECT_EQ(mainwindow::CurrentFolderId(), id);
    std::string unread, total;
    for (const wintest::ProviderFolder& folder : ProviderFolders())
        if (folder.id == id) unread = folder.unread, total = folder.total;
    EXPECT_EQ(wintest::TextOf(messagelist::folderTitleLabel), L"工作文档(" + W(unread) + L"/" + W(total) + L")");

    session::MessageTable expected;
    ASSERT_TRUE(ProviderListing(id, expected));
    int rows = static_cast<int>(session::UsedMessageRows(expected));
    ASSERT_GE(rows, 2);
    ASSERT_EQ(ListCount(), rows);
    for (int i = 0; i < rows; ++i) {
        const session::MessageRow& row = expected.rows[i];
        EXPECT_EQ(ListCell(i, 0), W(messagelist::ComposeTitle(row))) << "row " << i;
        char size[messagelist::kSizeTextCapacity] = {};
        std::memcpy(size, row.size, sizeof(size) - 1);
        messagelist::FormatSizeText(size);
        EXPECT_EQ(ListCell(i, 1), W(size)) << "row " << i;
        EXPECT_EQ(ListCell(i, 2), W(row.receivedDate)) << "row " << i;
        EXPECT_EQ(ListCell(i, 3), W(row.sentDate)) << "row " << i;
        EXPECT_EQ(ListCell(i, 4), W(row.from)) << "row " << i;
    }
    // What the folder holds, as the list shows it: newest first.
    EXPECT_EQ(ListCell(0, 0), L"@  meeting notes 2026-01-05.txt");
    EXPECT_EQ(ListCell(1, 0), L"@  budget 2026.csv");
    EXPECT_NE(ListCell(0, 1).find(L" KB"), std::wstring::npos);  // some 3000 bytes and a mail around them

    // The session's table is what the list shows: item n is row n.
    const session::MessageTable& shown = ui::TheSession().messageTable;
    EXPECT_EQ(session::UsedMessageRows(shown), static_cast<std::size_t>(rows));
    EXPECT_STREQ(shown.rows[1].subject, expected.rows[1].subject);

    std::string error;
    EXPECT_TRUE(wintest::TakeScreenshot("main-window-folder-open", error)) << error;
}

TEST_F(LiveMainWindow, TheOpenCommandAndOtherFoldersReuseTheList) {
    HTREEITEM inbox = FolderItem(L"收件箱");
    ASSERT_NE(inbox, nullptr);
    Select(inbox);
    TreeCommand(mainwindow::IDM_OPEN_FOLDER);
    HWND list = messagelist::messageListWindow;
    ASSERT_TRUE(IsWindow(list));
    EXPECT_EQ(mainwindow::CurrentFolderId(), "1");
    session::MessageTable inboxPage;
    ASSERT_TRUE(ProviderListing("1", inboxPage));
    EXPECT_EQ(ListCount(), static_cast<int>(session::UsedMessageRows(inboxPage)));
    EXPECT_EQ(wintest::TextOf(messagelist::folderTitleLabel).rfind(L"收件箱(", 0), 0u);

    Select(FolderItem(L"照片"));
    TreeNotify(NM_DBLCLK);
    EXPECT_EQ(messagelist::messageListWindow, list);  // created once
    ASSERT_EQ(ListCount(), 1);
    EXPECT_EQ(ListCell(0, 0), L"@  sunset.bmp");
    EXPECT_NE(ListCell(0, 1).find(L" MB"), std::wstring::npos);

    // The mail root and the account item open nothing.
    Select(MailRootItem());
    TreeNotify(NM_DBLCLK);
    TreeCommand(mainwindow::IDM_OPEN_FOLDER);
    Select(AccountItem());
    TreeNotify(NM_DBLCLK);
    EXPECT_EQ(ListCell(0, 0), L"@  sunset.bmp");
    EXPECT_NE(mainwindow::CurrentFolderId(), "65537");
}

TEST_F(LiveMainWindow, ADoubleClickOpensOnlyTheOpenableKinds) {
    // Items as a folder list with such ids would make them.
    auto insert = [&](const wchar_t* text, std::uint32_t id) {
        TVINSERTSTRUCTW item{};
        item.hParent = MailRootItem();
        item.hInsertAfter = TVI_LAST;
        item.item.mask = TVIF_TEXT | TVIF_PARAM;
        item.item.pszText = const_cast<wchar_t*>(text);
        item.item.lParam = static_cast<LPARAM>(id);
        return TreeView_InsertItem(Tree(), &item);
    };
    HTREEITEM middle = insert(L"two hundred", 200);
    HTREEITEM large = insert(L"seventy thousand", 70000);
    Select(middle);
    TreeNotify(NM_DBLCLK);
    TreeCommand(mainwindow::IDM_OPEN_FOLDER);
    EXPECT_EQ(messagelist::messageListWindow, nullptr);  // nothing opened
    EXPECT_NE(mainwindow::noticePane, nullptr);
    EXPECT_EQ(mainwindow::CurrentFolderId(), "");

    Select(large);
    TreeNotify(NM_DBLCLK);
    EXPECT_NE(messagelist::messageListWindow, nullptr);
    EXPECT_EQ(mainwindow::CurrentFolderId(), "70000");
    EXPECT_EQ(ListCount(), 0);  // the provider has no such folder
    EXPECT_EQ(wintest::TextOf(messagelist::folderTitleLabel), L"");
}

TEST_F(LiveMainWindow, AFolderMissingFromTheTableGetsAnEmptyTitleAndIsListedAnyway) {
    HTREEITEM inbox = FolderItem(L"收件箱");
    Select(inbox);
    TreeNotify(NM_DBLCLK);
    session::ClearFolderTable(ui::TheSession().folderTable);  // reloaded meanwhile, say
    mainwindow::OpenFolder("1");
    EXPECT_EQ(wintest::TextOf(messagelist::folderTitleLabel), L"");
    session::MessageTable inboxPage;
    ASSERT_TRUE(ProviderListing("1", inboxPage));
    EXPECT_EQ(ListCount(), static_cast<int>(session::UsedMessageRows(inboxPage)));
}

TEST_F(LiveMainWindow, NewFolderRenameByLabelEditAndDeleteReachTheProvider) {
    Select(FolderItem(L"收件箱"));
    TreeCommand(mainwindow::IDM_NEW_FOLDER);
    HWND edit = TreeView_GetEditControl(Tree());
    ASSERT_NE(edit, nullptr) << "no label edit after the new folder";
    EXPECT_EQ(wintest::TextOf(edit), L"新文件夹");
    // The folder exists on the provider, named "新文件夹", before the edit ends.
    std::string newId;
    for (const wintest::ProviderFolder& folder : ProviderFolders())
        if (folder.name == "新文件夹") newId = folder.id;
    ASSERT_FALSE(newId.empty());
    HTREEITEM added = nullptr;
    for (const wintest::TreeEntry& entry : FolderItems())
        if (std::to_string(entry.data) == newId) added = entry.item;
    ASSERT_NE(added, nullptr) << "the new item carries the new folder's id";

    std::wstring name = UniqueName(L"项目 & <资料> ");
    SetWindowTextW(edit, name.c_str());
    TreeView_EndEditLabelNow(Tree(), FALSE);
    ASSERT_TRUE(PumpUntil([&] { return FolderItem(name) != nullptr; })) << "the tree never showed the new name";
    bool renamed = false;
    for (const wintest::ProviderFolder& folder : ProviderFolders())
        if (folder.id == newId) renamed = folder.name == platform::WideToUtf8(name);
    EXPECT_TRUE(renamed);
    EXPECT_EQ(FolderItem(L"新文件夹"), nullptr);

    HTREEITEM item = FolderItem(name);
    Select(item);
    TreeCommand(mainwindow::IDM_DELETE_FOLDER);
    EXPECT_EQ(FolderItem(name), nullptr);  // at once, nothing asked
    for (const wintest::ProviderFolder& folder : ProviderFolders()) EXPECT_NE(folder.id, newId);
}

TEST_F(LiveMainWindow, ACancelledEditLeavesTheNewFolderNamedNewFolder) {
    Select(FolderItem(L"工作文档"));
    TreeCommand(mainwindow::IDM_NEW_FOLDER);
    ASSERT_NE(TreeView_GetEditControl(Tree()), nullptr);
    TreeView_EndEditLabelNow(Tree(), TRUE);
    wintest::PumpMessages(50);
    std::string newId;
    for (const wintest::ProviderFolder& folder : ProviderFolders())
        if (folder.name == "新文件夹") newId = folder.id;
    ASSERT_FALSE(newId.empty());
    EXPECT_NE(FolderItem(L"新文件夹"), nullptr);  // the item stays until the next reload
    EXPECT_EQ(session::DeleteFolder(checker_, newId), session::Status::Ok);
}

TEST_F(LiveMainWindow, TheRootItemsAndTheFixedFoldersAreNotRenamed) {
    // Their data, 65537, is no folder of theirs: no rename request may carry it.
    EXPECT_EQ(TreeView_EditLabel(Tree(), MailRootItem()), nullptr);
    EXPECT_EQ(TreeView_EditLabel(Tree(), AccountItem()), nullptr);
    EXPECT_FALSE(mainwindow::LabelEditInProgress());
    // The rename command is offered only to folders from id 6 on.
    Select(FolderItem(L"收件箱"));
    TreeCommand(mainwindow::IDM_RENAME_FOLDER);
    EXPECT_EQ(TreeView_GetEditControl(Tree()), nullptr);
    TreeCommand(mainwindow::IDM_DELETE_FOLDER);
    EXPECT_NE(FolderItem(L"收件箱"), nullptr);
    EXPECT_EQ(ProviderFolders().front().name, "收件箱");
    // The commands without an action change nothing.
    std::size_t before = FolderItems().size();
    for (UINT command : {mainwindow::IDM_EMPTY_FOLDER, mainwindow::IDM_FOLDER_PROPERTIES, mainwindow::IDM_EXPAND,
                         mainwindow::IDM_NEW_LOGIN})
        TreeCommand(command);
    EXPECT_EQ(FolderItems().size(), before);
    EXPECT_EQ(TreeView_GetEditControl(Tree()), nullptr);
}

TEST_F(LiveMainWindow, TheRefreshCommandReloadsTheFolders) {
    std::string id;
    std::wstring name = UniqueName(L"外部 ");
    ASSERT_EQ(session::CreateUserFolder(checker_, platform::WideToUtf8(name), id), session::Status::Ok);
    EXPECT_EQ(FolderItem(name), nullptr);
    Select(FolderItem(L"收件箱"));
    TreeCommand(mainwindow::IDM_REFRESH_FOLDERS);
    EXPECT_NE(FolderItem(name), nullptr);
    EXPECT_TRUE(TreeView_GetItemState(Tree(), MailRootItem(), TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ(session::DeleteFolder(checker_, id), session::Status::Ok);
}

TEST_F(LiveMainWindow, TheTimerReloadsEveryTenthTickButNotIntoALabelEdit) {
    std::string id;
    std::wstring name = UniqueName(L"定时 ");
    ASSERT_EQ(session::CreateUserFolder(checker_, platform::WideToUtf8(name), id), session::Status::Ok);
    for (int tick = 1; tick < 10; ++tick) FolderRefreshTimerProc(nullptr, WM_TIMER, 1, 0);
    EXPECT_EQ(FolderItem(name), nullptr);  // nine ticks: nothing yet
    EXPECT_EQ(mainwindow::FolderRefreshTick(), 10);

    // A label edit is in progress when the tenth tick comes.
    HTREEITEM work = FolderItem(L"工作文档");
    ASSERT_NE(TreeView_EditLabel(Tree(), work), nullptr);
    HWND edit = TreeView_GetEditControl(Tree());
    ASSERT_NE(edit, nullptr);
    FolderRefreshTimerProc(nullptr, WM_TIMER, 1, 0);
    EXPECT_EQ(mainwindow::FolderRefreshTick(), 1);
    EXPECT_TRUE(mainwindow::FolderTreeReloadPending());
    EXPECT_TRUE(IsWindow(edit));  // the edit goes on, its item untouched
    EXPECT_EQ(FolderItem(name), nullptr);
    TreeView_EndEditLabelNow(Tree(), TRUE);
    ASSERT_TRUE(PumpUntil([&] { return FolderItem(name) != nullptr; })) << "the deferred reload never came";
    EXPECT_FALSE(mainwindow::FolderTreeReloadPending());

    // Without an edit the tenth tick reloads at once.
    std::wstring second = UniqueName(L"定时二 ");
    std::string secondId;
    ASSERT_EQ(session::CreateUserFolder(checker_, platform::WideToUtf8(second), secondId), session::Status::Ok);
    for (int tick = 1; tick <= 10; ++tick) FolderRefreshTimerProc(nullptr, WM_TIMER, 1, 0);
    EXPECT_NE(FolderItem(second), nullptr);
    EXPECT_EQ(TreeView_GetSelection(Tree()), nullptr);  // the selection goes with the rebuild
    EXPECT_EQ(session::DeleteFolder(checker_, id), session::Status::Ok);
    EXPECT_EQ(session::DeleteFolder(checker_, secondId), session::Status::Ok);
}

TEST_F(LiveMainWindow, CollapsingAndExpandingTheMailRootReloadsTheFolders) {
    std::string id;
    std::wstring name = UniqueName(L"展开 ");
    ASSERT_EQ(session::CreateUserFolder(checker_, platform::WideToUtf8(name), id), session::Status::Ok);
    // As the user does it (the keyboard's - and +): the tree tells its
    // parent about every such expansion.
    Select(MailRootItem());
    SendMessageW(Tree(), WM_KEYDOWN, VK_SUBTRACT, 0);
    EXPECT_FALSE(TreeView_GetItemState(Tree(), MailRootItem(), TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_EQ(FolderItem(name), nullptr);
    SendMessageW(Tree(), WM_KEYDOWN, VK_ADD, 0);
    EXPECT_TRUE(TreeView_GetItemState(Tree(), MailRootItem(), TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_NE(FolderItem(name), nullptr);
    EXPECT_EQ(session::DeleteFolder(checker_, id), session::Status::Ok);
}

}  // namespace
