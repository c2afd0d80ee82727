// The main window and the message list in-process, over a desktop signed in
// to the provider: what only real windows show. The desktop's own logic is
// tested natively (tests/app).
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>

#include "app/app.h"
#include "app/folder_tree_model.h"
#include "app/list_menu_model.h"
#include "mainwindow/main_window.h"
#include "messagelist/message_list.h"
#include "platform/text.h"
#include "session/cells.h"
#include "session/folders.h"
#include "session/store_file.h"
#include "win_support.h"

namespace {

using wintest::PumpUntil;

std::filesystem::path TempFile(const std::string& name) {
    std::filesystem::path path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary) << "the bytes of " << name;
    return path;
}

// A desktop over its own folder holding "first.bin" and then "second.bin",
// with the main window and the list attached.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto session = wintest::SignedIn("second@126.example", "second-pass");
        folder_ = std::string("文件夹-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_EQ(session::CreateUserFolder(*session, folder_, folderId_), session::Status::Ok);
        const session::StoreOptions fast{10000, 0, 20, 200};
        for (const char* name : {"first.bin", "second.bin"})
            ASSERT_EQ(session::StoreFileInFolder(*session, TempFile(name), folderId_, {}, fast).status,
                      session::Status::Ok);
        desktop_ = app::Start(session);
        desktop_->Pacing() = app::UploadPacing{0, fast};
        frame_ = mainwindow::CreateMainWindow(app::ModuleInstance(), desktop_);
        messagelist::AttachMessageList(frame_, desktop_);
        tree_ = FindWindowExW(frame_, nullptr, WC_TREEVIEWW, nullptr);
        ASSERT_TRUE(PumpUntil([&] { return Item(folder_) != nullptr; }));
    }
    void TearDown() override {
        if (IsWindow(frame_) && DestroyWindow(frame_)) wintest::QuitPosted();
        app::Stop(std::chrono::seconds(10));
    }

    std::string Text(HTREEITEM item) const {
        wchar_t text[160] = {};
        TVITEMW tvi{};
        tvi.mask = TVIF_TEXT;
        tvi.hItem = item;
        tvi.pszText = text;
        tvi.cchTextMax = 160;
        TreeView_GetItem(tree_, &tvi);
        return platform::WideToUtf8(text);
    }
    // The folder item of that name under the mail root, or null.
    HTREEITEM Item(const std::string& name) const {
        HTREEITEM root = TreeView_GetChild(tree_, TreeView_GetRoot(tree_));
        for (HTREEITEM item = TreeView_GetChild(tree_, root); item; item = TreeView_GetNextSibling(tree_, item))
            if (Text(item) == name) return item;
        return nullptr;
    }
    // Opens our folder with a double click; the list it brings.
    HWND OpenFolder() {
        TreeView_SelectItem(tree_, Item(folder_));
        NMHDR click{tree_, 0, static_cast<UINT>(NM_DBLCLK)};
        SendMessageW(frame_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
        HWND list = nullptr;
        EXPECT_TRUE(PumpUntil([&] {
            return (list = FindWindowExW(frame_, nullptr, WC_LISTVIEWW, nullptr)) && ListView_GetItemCount(list) > 0;
        }));
        return list;
    }
    // True when the status label (or another static) shows the text.
    bool Shows(const wchar_t* text) const { return FindWindowExW(frame_, nullptr, L"Static", text) != nullptr; }
    static std::wstring Cell(HWND list, int item, int column) {
        wchar_t text[300] = {};
        ListView_GetItemText(list, item, column, text, 300);
        return text;
    }

    std::shared_ptr<app::Desktop> desktop_;
    std::string folder_, folderId_;
    HWND frame_ = nullptr, tree_ = nullptr;
};

TEST_F(MainWindowTest, OpeningAFolderReplacesTheNoticeWithItsList) {
    EXPECT_EQ(Text(TreeView_GetRoot(tree_)), "second@126.example");
    EXPECT_EQ(Text(TreeView_GetChild(tree_, TreeView_GetRoot(tree_))), "电子邮件");
    EXPECT_TRUE(FindWindowExW(frame_, nullptr, L"RICHEDIT", nullptr));
    HWND list = OpenFolder();
    EXPECT_FALSE(FindWindowExW(frame_, nullptr, L"RICHEDIT", nullptr)) << "the notice pane goes for good";
    EXPECT_TRUE(Shows(platform::Utf8ToWide(app::FolderTitle(desktop_->Folders(), folderId_)).c_str())) << "title";
    ASSERT_EQ(ListView_GetItemCount(list), 2);
    EXPECT_EQ(Cell(list, 0, 0), L"@  second.bin") << "newest first, with the attachment mark";
    EXPECT_EQ(Cell(list, 1, 1), platform::Utf8ToWide(app::FormatSizeText(desktop_->ShownPage().rows[1].size)));

    // The frame passes the list's drawing back to it: the second row's
    // background, and blue for a row not yet read.
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr = NMHDR{list, 0, static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = 1;
    EXPECT_EQ(SendMessageW(frame_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw)),
              CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT);
    EXPECT_EQ(draw.clrTextBk, RGB(242, 247, 254));
    EXPECT_EQ(draw.clrText, RGB(0, 0, 255));
}

TEST_F(MainWindowTest, FolderCommandsReachTheProviderAndTheTreeFollows) {
    TreeView_SelectItem(tree_, Item(folder_));
    SendMessageW(tree_, WM_COMMAND, app::IDM_NEW_FOLDER, 0);
    ASSERT_TRUE(PumpUntil([&] { return TreeView_GetEditControl(tree_) != nullptr; }));
    EXPECT_TRUE(Item("新文件夹"));
    SetWindowTextW(TreeView_GetEditControl(tree_), L"改名后");
    TreeView_EndEditLabelNow(tree_, FALSE);
    ASSERT_TRUE(PumpUntil([&] { return Item("改名后") != nullptr; })) << "rebuilt from the provider's names";
    EXPECT_FALSE(Item("新文件夹"));
    TreeView_SelectItem(tree_, Item("改名后"));
    SendMessageW(tree_, WM_COMMAND, app::IDM_DELETE_FOLDER, 0);
    EXPECT_FALSE(Item("改名后")) << "gone at once";
}

TEST_F(MainWindowTest, ListCommandsAndDropsReachTheProvider) {
    HWND list = OpenFolder();
    ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetCheckState(list, 1, TRUE);
    SendMessageW(list, WM_COMMAND, app::CmdDeleteRows, 0);
    EXPECT_TRUE(Shows(L"请稍后...\u3000正在删除邮件"));
    ASSERT_TRUE(PumpUntil([&] { return Shows(L"准备就绪"); }));
    ASSERT_EQ(ListView_GetItemCount(list), 1);
    EXPECT_EQ(Cell(list, 0, 0), L"@  second.bin") << "the checked row went, not the selected one";

    // A drop stores the file it holds; a second drop meanwhile is refused.
    wintest::Seams seams;
    std::wstring path = TempFile("dropped.bin").wstring();
    for (int drop = 0; drop < 2; ++drop) {
        HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t));
        auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        path.copy(reinterpret_cast<wchar_t*>(files + 1), path.size());
        GlobalUnlock(memory);
        SendMessageW(list, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    }
    ASSERT_EQ(seams.boxes.size(), 1u);
    EXPECT_EQ(seams.boxes[0].text, L"已经有一个上传任务正在进行...");
    EXPECT_EQ(seams.boxes[0].owner, frame_);
    ASSERT_TRUE(PumpUntil([&] { return Shows(L"上传完成"); }));
    ASSERT_TRUE(PumpUntil([&] { return ListView_GetItemCount(list) == 2; }));
    EXPECT_EQ(Cell(list, 0, 0), L"@  dropped.bin");
}

// All of this runs while the provider holds every answer, and the desktop's
// work still waits for it at the end: had the window waited for the
// provider too, that work would have ended first.
TEST(StalledProvider, TheMainWindowRepaintsMovesAndCloses) {
    wintest::StallServer stall;
    auto session = std::make_shared<session::Session>();
    session::SetCell(session->host, stall.HostPort());
    session->providerOverride = stall.HostPort();
    std::shared_ptr<app::Desktop> desktop = app::Start(session);
    HWND frame = mainwindow::CreateMainWindow(app::ModuleInstance(), desktop);
    messagelist::AttachMessageList(frame, desktop);
    desktop->OpenFolder("1");
    EXPECT_TRUE(FindWindowExW(frame, nullptr, WC_LISTVIEWW, nullptr));
    EXPECT_TRUE(PumpUntil([&] { return stall.ConnectionWaiting(); }));
    EXPECT_TRUE(RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW));
    EXPECT_FALSE(GetUpdateRect(frame, nullptr, FALSE)) << "painted";
    RECT before{}, after{};
    GetWindowRect(frame, &before);
    SetWindowPos(frame, nullptr, before.left + 40, before.top + 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    GetWindowRect(frame, &after);
    EXPECT_EQ(after.top, before.top + 30);
    ShowWindow(frame, SW_MINIMIZE);
    EXPECT_TRUE(!IsWindowVisible(frame) || IsIconic(frame));
    SendMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_TRUE(wintest::QuitPosted());
    desktop.reset();
    EXPECT_FALSE(app::Stop(std::chrono::milliseconds(0))) << "the stalled work still waits";
}

}  // namespace
