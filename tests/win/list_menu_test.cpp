// The context menu of the message list: its entries as data, and the popup
// menu the list view shows, read back through the menu API.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "messagelist/list_menu.h"
#include "session/cells.h"

using namespace messagelist;

namespace {

session::FolderTable Folders(const std::vector<std::pair<const char*, const char*>>& rows) {
    session::FolderTable table;
    session::InitFolderTable(table);
    std::size_t i = 0;
    for (const auto& [id, name] : rows) {
        session::SetCell(table.rows[i].id, id);
        session::SetCell(table.rows[i].name, name);
        ++i;
    }
    return table;
}

struct ShownItem {
    UINT id;
    std::wstring text;
    bool greyed;
    HMENU submenu;
};

std::vector<ShownItem> ReadMenu(HMENU menu) {
    std::vector<ShownItem> items;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[200] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE | MIIM_SUBMENU;
        info.dwTypeData = text;
        info.cch = 200;
        EXPECT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info));
        items.push_back({info.wID, text, (info.fState & MFS_GRAYED) != 0, info.hSubMenu});
    }
    return items;
}

const std::vector<std::pair<unsigned, std::wstring>> kFullMenu = {
    {1, L"下载邮件"}, {2, L"下载附件"}, {3, L"移动到 =>"}, {4, L"删除选择行"},
    {5, L"上传文件"}, {6, L"只看附件"}, {7, L"下一页"},    {8, L"属性"},
};

TEST(ListMenu, WithoutASelectionOnlyUploadIsOffered) {
    ListMenu menu = BuildListMenu(false, Folders({{"65550", "工作文档"}}));
    ASSERT_EQ(menu.entries.size(), 1u);
    EXPECT_EQ(menu.entries[0].id, 5u);
    EXPECT_EQ(menu.entries[0].text, L"上传文件");
    EXPECT_TRUE(menu.targets.Empty());

    OwnedMenu shown = CreateListPopupMenu(menu.entries);
    ASSERT_TRUE(shown);
    std::vector<ShownItem> items = ReadMenu(shown.get());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].id, 5u);
    EXPECT_EQ(items[0].text, L"上传文件");
    EXPECT_FALSE(items[0].greyed);
}

TEST(ListMenu, WithASelectionTheFullMenuWithItsFolderSubmenu) {
    ListMenu menu = BuildListMenu(
        true,
        Folders(
            {{"1", "收件箱"}, {"3", "已发送"}, {"65550", "工作文档"}, {"65551", "R&D <2026>"}, {"4096", "旧文件夹"}}));
    OwnedMenu shown = CreateListPopupMenu(menu.entries);
    ASSERT_TRUE(shown);
    std::vector<ShownItem> items = ReadMenu(shown.get());
    ASSERT_EQ(items.size(), kFullMenu.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].id, kFullMenu[i].first) << i;
        EXPECT_EQ(items[i].text, kFullMenu[i].second) << i;
        EXPECT_FALSE(items[i].greyed) << i;
        EXPECT_EQ(items[i].submenu != nullptr, i == 2) << "only the third entry opens a submenu";
    }
    std::vector<ShownItem> folders = ReadMenu(items[2].submenu);
    ASSERT_EQ(folders.size(), 3u);
    // "&&" shows as one ampersand; a single one would underline the next letter.
    const wchar_t* names[] = {L"工作文档", L"R&&D <2026>", L"旧文件夹"};
    const char* ids[] = {"65550", "65551", "4096"};
    for (std::size_t i = 0; i < folders.size(); ++i) {
        EXPECT_EQ(folders[i].text, names[i]);
        EXPECT_LE(folders[i].id, 0xFFFFu);
        EXPECT_EQ(menu.targets.FolderFor(folders[i].id), ids[i]) << "the command stands for its folder";
    }
}

TEST(ListMenu, WithoutMovableFoldersTheSubmenuEntryIsGreyed) {
    for (const session::FolderTable& table :
         {Folders({{"1", "收件箱"}, {"2", "草稿箱"}, {"3", "已发送"}, {"4", "已删除"}, {"5", "垃圾邮件"}}),
          Folders({})}) {
        ListMenu menu = BuildListMenu(true, table);
        OwnedMenu shown = CreateListPopupMenu(menu.entries);
        ASSERT_TRUE(shown);
        std::vector<ShownItem> items = ReadMenu(shown.get());
        ASSERT_EQ(items.size(), kFullMenu.size());
        EXPECT_EQ(items[2].text, L"移动到 =>");
        EXPECT_TRUE(items[2].greyed);
        ASSERT_NE(items[2].submenu, nullptr);
        EXPECT_EQ(GetMenuItemCount(items[2].submenu), 0);
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (i != 2) {
                EXPECT_FALSE(items[i].greyed) << i;
            }
        }
    }
}

TEST(ListMenu, TheKeptTargetsAreTheLastMenusOwn) {
    KeepMoveTargets(BuildListMenu(true, Folders({{"70000", "a"}, {"70001", "b"}})));
    EXPECT_EQ(ShownMoveTargets().FolderFor(kFirstMoveCommand + 1), "70001");
    KeepMoveTargets(BuildListMenu(true, Folders({{"80000", "c"}})));
    EXPECT_EQ(ShownMoveTargets().FolderFor(kFirstMoveCommand), "80000");
    EXPECT_EQ(ShownMoveTargets().FolderFor(kFirstMoveCommand + 1), std::nullopt) << "no stale target survives";
    KeepMoveTargets(BuildListMenu(false, Folders({{"80000", "c"}})));
    EXPECT_TRUE(ShownMoveTargets().Empty());
}

}  // namespace
