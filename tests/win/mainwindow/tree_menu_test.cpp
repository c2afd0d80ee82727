#include "mainwindow/tree_menu.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "mainwindow/tree_kind.h"

namespace {

using MenuEntries = std::vector<std::pair<UINT, std::wstring>>;

MenuEntries EntriesOf(HMENU menu) {
    MenuEntries entries;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        entries.emplace_back(GetMenuItemID(menu, i), text);
    }
    return entries;
}

const MenuEntries kFixedFolderMenu = {
    {255, L"打开文件夹 (Ctrl + &O)"}, {256, L"新建文件夹 (Ctrl + &N)"}, {259, L"清空邮件(Ctrl + &E)"},
    {260, L"刷新列表  (F5)"},         {261, L"属性(Ctrl + &P)"},
};
const MenuEntries kFullFolderMenu = {
    {255, L"打开文件夹 (Ctrl + &O)"}, {256, L"新建文件夹 (Ctrl + &N)"},
    {257, L"重命名(Ctrl +&M)"},       {258, L"删除文件夹"},
    {259, L"清空邮件(Ctrl + &E)"},    {260, L"刷新列表  (F5)"},
    {261, L"属性(Ctrl + &P)"},
};

// A tree made as the folder tree makes it: the account, the mail root and
// folder items whose data are their ids.
class TreeMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        tree_ = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 300, host_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(tree_, nullptr);
        account_ = Insert(TVI_ROOT, L"demo@163.example", 65537);
        mailRoot_ = Insert(account_, L"电子邮件", 65537);
    }
    void TearDown() override { DestroyWindow(host_); }

    HTREEITEM Insert(HTREEITEM parent, const wchar_t* text, std::uint32_t data) {
        TVINSERTSTRUCTW insert{};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<wchar_t*>(text);
        insert.item.lParam = static_cast<LPARAM>(data);
        return TreeView_InsertItem(tree_, &insert);
    }

    MenuEntries MenuFor(HTREEITEM item) {
        mainwindow::Menu menu = mainwindow::BuildTreeMenu(mainwindow::ClassifyTreeItem(tree_, item));
        return menu.Get() ? EntriesOf(menu.Get()) : MenuEntries();
    }

    HWND host_ = nullptr;
    HWND tree_ = nullptr;
    HTREEITEM account_ = nullptr;
    HTREEITEM mailRoot_ = nullptr;
};

TEST_F(TreeMenuTest, ClassifiesTheItemsOfTheTree) {
    HTREEITEM inbox = Insert(mailRoot_, L"收件箱", 1);
    HTREEITEM sent = Insert(mailRoot_, L"已发送", 3);
    HTREEITEM seven = Insert(mailRoot_, L"seven", 7);
    HTREEITEM middle = Insert(mailRoot_, L"middle", 200);
    HTREEITEM large = Insert(mailRoot_, L"工作文档", 70000);
    EXPECT_EQ(mainwindow::ClassifyTreeItem(tree_, account_), 65536u);
    EXPECT_EQ(mainwindow::ClassifyTreeItem(tree_, mailRoot_), 65537u);
    EXPECT_EQ(mainwindow::ClassifyTreeItem(tree_, inbox), 65538u);
    EXPECT_EQ(mainwindow::ClassifyTreeItem(tree_, sent), 65540u);
    EXPECT_EQ(mainwindow::ClassifyTreeItem(tree_, seven), 65544u);
    EXPECT_EQ(mainwindow::ClassifyTreeItem(tree_, middle), 0u);
    EXPECT_EQ(mainwindow::ClassifyTreeItem(tree_, large), 65549u);
    EXPECT_EQ(mainwindow::ClassifyTreeItem(tree_, nullptr), 65536u);  // missing: all data 0
}

TEST_F(TreeMenuTest, EachKindGetsItsMenu) {
    EXPECT_EQ(MenuFor(account_), (MenuEntries{{513, L"新登陆 (Ctrl + &n)"}}));
    EXPECT_EQ(MenuFor(mailRoot_), (MenuEntries{{512, L"展开 (Ctrl + &O)"}}));
    EXPECT_EQ(MenuFor(Insert(mailRoot_, L"收件箱", 1)), kFixedFolderMenu);
    EXPECT_EQ(MenuFor(Insert(mailRoot_, L"已发送", 3)), kFixedFolderMenu);
    EXPECT_EQ(MenuFor(Insert(mailRoot_, L"垃圾邮件", 5)), kFixedFolderMenu);
    EXPECT_EQ(MenuFor(Insert(mailRoot_, L"six", 6)), kFullFolderMenu);
    EXPECT_EQ(MenuFor(Insert(mailRoot_, L"seven", 7)), kFullFolderMenu);
    EXPECT_EQ(MenuFor(Insert(mailRoot_, L"middle", 200)), MenuEntries());
    EXPECT_EQ(MenuFor(Insert(mailRoot_, L"工作文档", 70000)), kFullFolderMenu);
}

TEST(TreeMenu, KindZeroHasNoMenuAtAll) {
    EXPECT_TRUE(mainwindow::TreeMenuItems(0).empty());
    EXPECT_EQ(mainwindow::BuildTreeMenu(0).Get(), nullptr);
}

TEST(TreeMenu, MenusAreFreshEachTimeAndReleasedByTheirOwner) {
    HMENU first = nullptr;
    {
        mainwindow::Menu menu = mainwindow::BuildTreeMenu(65544);
        first = menu.Get();
        ASSERT_TRUE(IsMenu(first));
        mainwindow::Menu moved = std::move(menu);
        EXPECT_EQ(menu.Get(), nullptr);
        EXPECT_TRUE(IsMenu(moved.Get()));
    }
    EXPECT_FALSE(IsMenu(first));
}

}  // namespace
