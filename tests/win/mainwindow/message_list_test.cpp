#include "messagelist/message_list.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>

#include "mainwindow/ui_globals.h"
#include "messagelist/message_page.h"
#include "messagelist/shown_table.h"
#include "session/cells.h"
#include "session/session.h"
#include "ui_driver.h"

namespace {

struct RowText {
    const char* subject;
    const char* size;
    const char* attached;
    const char* read;
    const char* received;
    const char* sent;
    const char* from;
};

void FillRow(session::MessageRow& row, const RowText& text) {
    session::SetCell(row.id, std::string("id-") + text.subject);
    session::SetCell(row.subject, text.subject);
    session::SetCell(row.size, text.size);
    session::SetCell(row.attached, text.attached);
    session::SetCell(row.read, text.read);
    session::SetCell(row.receivedDate, text.received);
    session::SetCell(row.sentDate, text.sent);
    session::SetCell(row.from, text.from);
}

// The area, made in a stand-in main window of 800 x 500 client pixels.
class MessageListArea : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 800, 500, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(host_, nullptr);
        mainwindow::mainWindow = host_;
        mainwindow::treePaneWidth = 200;
        session::InitMessageTable(table_);
        messagelist::CreateMessageListArea();
        ASSERT_NE(messagelist::messageListWindow, nullptr);
    }
    void TearDown() override {
        DestroyWindow(host_);
        messagelist::ForgetMessageListArea();
        messagelist::shownTable = nullptr;
        mainwindow::mainWindow = nullptr;
    }

    HWND List() const { return messagelist::messageListWindow; }
    int ItemCount() const { return static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
    std::wstring Cell(int item, int subItem) const {
        wchar_t text[300] = {};
        LVITEMW lvi{};
        lvi.iSubItem = subItem;
        lvi.pszText = text;
        lvi.cchTextMax = 300;
        SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi));
        return text;
    }
    LRESULT DrawItem(int item, NMLVCUSTOMDRAW& draw) {
        draw = {};
        draw.nmcd.hdr.hwndFrom = List();
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(item);
        return messagelist::MessageListNotify(host_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw));
    }
    void Select(int item) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED;
        state.state = LVIS_SELECTED;
        SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&state));
    }

    HWND host_ = nullptr;
    session::MessageTable table_;
};

TEST_F(MessageListArea, CreatesTheSixControlsInTheirPlaces) {
    struct Expected {
        HWND window;
        const wchar_t* className;
        const wchar_t* text;
        RECT rect;
    } expected[] = {
        {messagelist::folderTitleLabel, L"Static", L"", {207, 35, 367, 47}},
        {messagelist::searchBox, L"Edit", L"", {470, 30, 650, 50}},
        {messagelist::searchCaption, L"Static", L"搜索", {655, 33, 695, 51}},
        {messagelist::prevPageCaption, L"Static", L"上一页", {700, 33, 740, 53}},
        {messagelist::nextPageCaption, L"Static", L"下一页", {745, 33, 785, 53}},
        {messagelist::messageListWindow, L"SysListView32", L"", {202, 55, 795, 475}},
    };
    for (const Expected& e : expected) {
        ASSERT_TRUE(IsWindow(e.window)) << e.text;
        EXPECT_EQ(GetParent(e.window), host_);
        EXPECT_EQ(wintest::ClassOf(e.window), e.className);
        EXPECT_EQ(wintest::TextOf(e.window), e.text);
        RECT rect = wintest::RectInParent(e.window);
        EXPECT_EQ(rect.left, e.rect.left) << e.text;
        EXPECT_EQ(rect.top, e.rect.top) << e.text;
        EXPECT_EQ(rect.right, e.rect.right) << e.text;
        EXPECT_EQ(rect.bottom, e.rect.bottom) << e.text;
        EXPECT_EQ(GetDlgCtrlID(e.window), 0);
    }
    EXPECT_TRUE(wintest::HasStyle(List(), LVS_REPORT | LVS_EDITLABELS));
    EXPECT_TRUE(GetWindowLongW(List(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    DWORD extended = static_cast<DWORD>(SendMessageW(List(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(extended & (LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT), DWORD(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT));
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(List(), GWLP_WNDPROC)), &messagelist::MessageListProc);
}

TEST_F(MessageListArea, HasTheFiveColumns) {
    const struct {
        const wchar_t* header;
        int width;
    } columns[] = {{L"标题", 180}, {L"大小", 70}, {L"接收日期", 130}, {L"发送日期", 130}, {L"来自", 120}};
    HWND header = reinterpret_cast<HWND>(SendMessageW(List(), LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 5);
    for (int i = 0; i < 5; ++i) {
        wchar_t text[32] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.pszText = text;
        column.cchTextMax = 32;
        ASSERT_TRUE(SendMessageW(List(), LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(text, columns[i].header);
        EXPECT_EQ(column.cx, columns[i].width);
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
        EXPECT_EQ(column.iSubItem, i);
    }
}

TEST_F(MessageListArea, ItemNShowsRowN) {
    FillRow(table_.rows[0], {"报告.txt", "1536", "true", "false", "2026,1,5,9,30,0", "2026,1,5,9,29,58",
                             "\"Demo\" <demo@163.example>"});
    FillRow(table_.rows[1], {"no attachment", "1023", "TRUE", "true", "2026,1,4,18,2,0", "2026,1,4,18,1,58", "x@y"});
    FillRow(table_.rows[2], {"big.bin", "1048576", "false", "true", "2025,12,20,16,15,0", "", ""});
    messagelist::FillMessageList(table_);
    ASSERT_EQ(ItemCount(), 3);
    EXPECT_EQ(Cell(0, 0), L"@  报告.txt");
    EXPECT_EQ(Cell(0, 1), L"1.50 KB");
    EXPECT_EQ(Cell(0, 2), L"2026,1,5,9,30,0");
    EXPECT_EQ(Cell(0, 3), L"2026,1,5,9,29,58");
    EXPECT_EQ(Cell(0, 4), L"\"Demo\" <demo@163.example>");
    EXPECT_EQ(Cell(1, 0), L"   no attachment");  // "TRUE" is no mark
    EXPECT_EQ(Cell(1, 1), L"1023 BYTE");
    EXPECT_EQ(Cell(2, 0), L"   big.bin");
    EXPECT_EQ(Cell(2, 1), L"1.00 MB");
    EXPECT_EQ(Cell(2, 3), L"");
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = 1;
    SendMessageW(List(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(item.lParam, 0);  // no item data: the index is the row
}

TEST_F(MessageListArea, AnEmptySubjectEndsTheRows) {
    FillRow(table_.rows[0], {"first", "1", "true", "true", "", "", ""});
    FillRow(table_.rows[2], {"after the gap", "1", "true", "true", "", "", ""});
    messagelist::FillMessageList(table_);
    EXPECT_EQ(ItemCount(), 1);
    session::ClearMessageTable(table_);
    messagelist::FillMessageList(table_);
    EXPECT_EQ(ItemCount(), 0);  // an empty folder: only the headers
}

TEST_F(MessageListArea, RefillingReplacesEveryItem) {
    for (int i = 0; i < 50; ++i) FillRow(table_.rows[i], {"row", "2048", "true", "true", "", "", ""});
    messagelist::FillMessageList(table_);
    EXPECT_EQ(ItemCount(), 50);
    session::ClearMessageTable(table_);
    FillRow(table_.rows[0], {"only", "0", "false", "true", "", "", ""});
    messagelist::FillMessageList(table_);
    ASSERT_EQ(ItemCount(), 1);
    EXPECT_EQ(Cell(0, 0), L"   only");
    EXPECT_EQ(Cell(0, 1), L"0 BYTE");
}

TEST_F(MessageListArea, DrawsUnreadRowsBlueAndOnlyTheFirstSelectionPink) {
    FillRow(table_.rows[0], {"a", "1", "true", "true", "", "", ""});
    FillRow(table_.rows[1], {"b", "1", "true", "false", "", "", ""});
    FillRow(table_.rows[2], {"c", "1", "true", "TRUE", "", "", ""});
    FillRow(table_.rows[3], {"d", "1", "true", "false", "", "", ""});
    messagelist::FillMessageList(table_);
    Select(1);
    Select(3);

    NMLVCUSTOMDRAW draw;
    NMLVCUSTOMDRAW prepaint{};
    prepaint.nmcd.hdr.hwndFrom = List();
    prepaint.nmcd.hdr.code = NM_CUSTOMDRAW;
    prepaint.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(messagelist::MessageListNotify(host_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&prepaint)),
              CDRF_NOTIFYITEMDRAW);

    EXPECT_EQ(DrawItem(0, draw), CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT);
    EXPECT_EQ(draw.clrText, RGB(0, 0, 0));
    EXPECT_EQ(draw.clrTextBk, RGB(255, 255, 255));
    EXPECT_EQ(DrawItem(1, draw), CDRF_DODEFAULT);  // the first selected row
    EXPECT_EQ(draw.clrText, RGB(0, 0, 0));
    EXPECT_EQ(draw.clrTextBk, RGB(255, 110, 165));
    EXPECT_EQ(DrawItem(2, draw), CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT);
    EXPECT_EQ(draw.clrText, RGB(0, 0, 0));  // "TRUE" counts as read
    EXPECT_EQ(draw.clrTextBk, RGB(255, 255, 255));
    EXPECT_EQ(DrawItem(3, draw), CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT);  // selected, but second
    EXPECT_EQ(draw.clrText, RGB(0, 0, 255));
    EXPECT_EQ(draw.clrTextBk, RGB(242, 247, 254));
}

TEST_F(MessageListArea, TheListHasNoFrameOfItsOwn) {
    EXPECT_EQ(CallWindowProcW(&messagelist::MessageListProc, List(), WM_NCPAINT, 1, 0), 0);
}

TEST(MessageListBounds, FollowTheMainWindowsClientArea) {
    RECT bounds = messagelist::MessageListBounds(1000, 700, 200);
    EXPECT_EQ(bounds.left, 202);
    EXPECT_EQ(bounds.top, 55);
    EXPECT_EQ(bounds.right - bounds.left, 793);
    EXPECT_EQ(bounds.bottom - bounds.top, 620);
}

// A page a worker listed is shown only while its folder is still open.
TEST_F(MessageListArea, AdoptsAPostedPageOfTheOpenFolderOnly) {
    session::Session session;
    FillRow(session.messageTable.rows[0], {"shown before", "1", "true", "true", "", "", ""});
    messagelist::FillMessageList(session.messageTable);

    auto stale = std::make_unique<messagelist::MessagePage>();
    stale->folderId = "65550";
    FillRow(stale->table.rows[0], {"from another folder", "1", "true", "true", "", "", ""});
    EXPECT_FALSE(messagelist::AdoptMessagePage(session, std::move(stale), "65551"));
    EXPECT_STREQ(session.messageTable.rows[0].subject, "shown before");
    EXPECT_EQ(Cell(0, 0), L"@  shown before");

    auto page = std::make_unique<messagelist::MessagePage>();
    page->folderId = "65551";
    FillRow(page->table.rows[0], {"uploaded.txt", "4096", "true", "false", "", "", ""});
    FillRow(page->table.rows[1], {"older.txt", "10", "false", "true", "", "", ""});
    EXPECT_TRUE(messagelist::AdoptMessagePage(session, std::move(page), "65551"));
    EXPECT_STREQ(session.messageTable.rows[0].subject, "uploaded.txt");
    ASSERT_EQ(ItemCount(), 2);
    EXPECT_EQ(Cell(0, 0), L"@  uploaded.txt");
    EXPECT_EQ(Cell(1, 1), L"10 BYTE");
}

TEST_F(MessageListArea, APostedPageReachesTheMainWindowOrIsReleased) {
    auto page = std::make_unique<messagelist::MessagePage>();
    page->folderId = "1";
    ASSERT_TRUE(messagelist::PostMessagePage(host_, std::move(page)));
    MSG message{};
    ASSERT_TRUE(
        PeekMessageW(&message, host_, mainwindow::kMessagePageMessage, mainwindow::kMessagePageMessage, PM_REMOVE));
    std::unique_ptr<messagelist::MessagePage> received(reinterpret_cast<messagelist::MessagePage*>(message.lParam));
    EXPECT_EQ(received->folderId, "1");
    EXPECT_FALSE(messagelist::PostMessagePage(nullptr, std::make_unique<messagelist::MessagePage>()));
}

}  // namespace
