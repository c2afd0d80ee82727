// The main window and the message list in-process, over a desktop signed in
// to the provider: what only real windows show. The desktop's own logic is
// tested natively (tests/app).
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "../support/old_form_mail.h"
#include "app/app.h"
#include "app/file_texts.h"
#include "app/folder_tree_model.h"
#include "app/list_menu_model.h"
#include "mainwindow/caption_controls.h"
#include "mainwindow/main_window.h"
#include "messagelist/message_list.h"
#include "platform/text.h"
#include "session/cells.h"
#include "session/folders.h"
#include "win_support.h"

namespace {

namespace fs = std::filesystem;
using wintest::PumpUntil;

fs::path TempFile(const std::string& name, std::size_t size = 0) {
    fs::path path = fs::temp_directory_path() / fs::u8path(name);
    std::ofstream out(path, std::ios::binary);
    out << "the bytes of " << name;
    for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 7919 % 251));
    return path;
}

std::string BytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Drops the files on the window, as the shell would.
void Drop(HWND list, const std::vector<fs::path>& paths) {
    std::wstring names;
    for (const auto& path : paths) names += path.wstring() + L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + (names.size() + 1) * sizeof(wchar_t));
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    names.copy(reinterpret_cast<wchar_t*>(files + 1), names.size());
    GlobalUnlock(memory);
    SendMessageW(list, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

// A key press that the main window's loop sees, with Ctrl held or not.
bool PressKey(HWND window, WPARAM key, bool control) {
    return wintest::PressKey(mainwindow::TranslateMainWindowKey, window, key, control ? VK_CONTROL : 0);
}

constexpr std::uint64_t kPartSize = 100000;

// A desktop over its own folder holding "first.bin" and then "second.bin",
// with the main window and the list attached.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto session = wintest::SignedIn("second@126.example", "second-pass");
        folder_ = std::string("文件夹-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_EQ(session::CreateUserFolder(*session, folder_, folderId_), session::Status::Ok);
        for (const char* name : {"first.bin", "second.bin"})
            ASSERT_EQ(testsupport::StoreOldFormMail(*session, TempFile(name), folderId_), session::Status::Ok);
        Begin(std::move(session), "second@126.example");
        desktop_->Pacing() = app::TransferPacing{kPartSize, 2};
        ASSERT_TRUE(PumpUntil([&] { return Item(folder_) != nullptr; }));
    }
    void Begin(std::unique_ptr<session::Session> session, const std::string& account) {
        desktop_ = app::Start(wintest::AccountOver(std::move(session), account));
        frame_ = mainwindow::CreateMainWindow(app::ModuleInstance(), desktop_);
        messagelist::AttachMessageList(frame_, desktop_);
        tree_ = FindWindowExW(frame_, nullptr, WC_TREEVIEWW, nullptr);
    }
    void TearDown() override {
        if (IsWindow(frame_) && DestroyWindow(frame_)) wintest::QuitPosted();
        app::Stop(std::chrono::seconds(10));
    }

    std::string Text(HTREEITEM item) const {
        wchar_t text[160] = {};
        TVITEMW tvi{TVIF_TEXT, item, 0, 0, text, 160};
        TreeView_GetItem(tree_, &tvi);
        return platform::WideToUtf8(text);
    }
    // The folder item of that name at any depth below the mail root, or null.
    HTREEITEM Item(const std::string& name, HTREEITEM under = nullptr) const {
        if (!under) under = TreeView_GetChild(tree_, TreeView_GetRoot(tree_));
        for (HTREEITEM item = TreeView_GetChild(tree_, under); item; item = TreeView_GetNextSibling(tree_, item)) {
            if (Text(item) == name) return item;
            if (HTREEITEM below = Item(name, item)) return below;
        }
        return nullptr;
    }
    // Opens the folder with a double click; the list it brings.
    HWND OpenFolder(const std::string& name = "") {
        TreeView_SelectItem(tree_, Item(name.empty() ? folder_ : name));
        NMHDR click{tree_, 0, static_cast<UINT>(NM_DBLCLK)};
        SendMessageW(frame_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
        HWND list = nullptr;
        EXPECT_TRUE(PumpUntil([&] {
            return (list = FindWindowExW(frame_, nullptr, WC_LISTVIEWW, nullptr)) && ListView_GetItemCount(list) > 0;
        }));
        Settle();
        return list;
    }
    void Settle() {
        EXPECT_TRUE(PumpUntil([&] { return desktop_->Idle(); }, std::chrono::seconds(120)));
    }
    int Row(const std::string& name) const {
        for (std::size_t i = 0; i < desktop_->Files().Count(); ++i)
            if (desktop_->Files().Row(i)->file.name == name) return static_cast<int>(i);
        return -1;
    }
    void Click(HWND control) const {
        SendMessageW(frame_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), STN_CLICKED),
                     reinterpret_cast<LPARAM>(control));
    }
    // True when the status label (or another static) shows the text.
    bool Shows(const wchar_t* text) const { return FindWindowExW(frame_, nullptr, L"Static", text) != nullptr; }
    // True when a static's text starts so.
    bool ShowsStarting(const std::wstring& prefix) const {
        for (HWND c = FindWindowExW(frame_, nullptr, L"Static", nullptr); c;
             c = FindWindowExW(frame_, c, L"Static", nullptr))
            if (wintest::TextOf(c).rfind(prefix, 0) == 0) return true;
        return false;
    }
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
    EXPECT_TRUE(ShowsStarting(L"已用 ")) << "the account's space beside the status line";
    std::string title = app::FolderTitle(desktop_->Folders(), folderId_, 2, desktop_->Files().TotalBytes());
    EXPECT_TRUE(Shows(platform::Utf8ToWide(title).c_str())) << "title with the count of files: " << title;
    ASSERT_EQ(ListView_GetItemCount(list), 2);
    EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & LVS_OWNERDATA) << "virtual: rows asked for as drawn";
    EXPECT_FALSE(GetWindowLongW(list, GWL_STYLE) & LVS_EDITLABELS) << "no in-place edit whose result is lost";
    EXPECT_EQ(Cell(list, 0, 0), L"first.bin") << "by name, no mark of a mail";
    EXPECT_EQ(Cell(list, 0, 1), L"22 字节") << "the file's own size: \"the bytes of first.bin\"";
    EXPECT_FALSE(Cell(list, 0, 3).empty()) << "the shell's name of the type";
    // A header click sorts by its column, a second one turns the order round.
    NMLISTVIEW click{};
    click.hdr = NMHDR{list, 0, static_cast<UINT>(LVN_COLUMNCLICK)};
    click.iSubItem = 0;
    SendMessageW(frame_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(Cell(list, 0, 0), L"second.bin");
    click.iSubItem = 1;
    SendMessageW(frame_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(Cell(list, 0, 0), L"first.bin") << "the smaller first";
    // 视图 -> 邮件视图 through the caption's menu: the columns of mail.
    SendMessageW(frame_, WM_COMMAND, mainwindow::kCaptionMenuBase + app::CmdMailView, 0);
    EXPECT_EQ(Cell(list, 0, 0), L"@  first.bin");

    // The frame passes the list's drawing back to it: the second row's
    // background.
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr = NMHDR{list, 0, static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = 1;
    EXPECT_EQ(SendMessageW(frame_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&draw)),
              CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT);
    EXPECT_EQ(draw.clrTextBk, RGB(242, 247, 254));
}

TEST_F(MainWindowTest, FolderCommandsReachTheProviderAndTheTreeFollows) {
    TreeView_SelectItem(tree_, Item(folder_));
    SendMessageW(tree_, WM_COMMAND, app::IDM_NEW_FOLDER, 0);
    ASSERT_TRUE(PumpUntil([&] { return TreeView_GetEditControl(tree_) != nullptr; }));
    EXPECT_EQ(TreeView_GetParent(tree_, Item("新文件夹")), Item(folder_)) << "made under the selected folder";
    SetWindowTextW(TreeView_GetEditControl(tree_), L"改/名");
    TreeView_EndEditLabelNow(tree_, FALSE);
    ASSERT_TRUE(PumpUntil([&] { return Item("改／名") != nullptr; })) << "rebuilt from the provider's names";
    EXPECT_EQ(TreeView_GetParent(tree_, Item("改／名")), Item(folder_)) << "nested, a slash shown as ／";
    EXPECT_FALSE(Item("新文件夹"));
    TreeView_SelectItem(tree_, Item("改／名"));
    SendMessageW(tree_, WM_COMMAND, app::IDM_RENAME_FOLDER, 0);
    EXPECT_TRUE(TreeView_GetEditControl(tree_)) << "a nested folder of its own can be renamed";
    TreeView_EndEditLabelNow(tree_, TRUE);
    // The folder with its folder and two files: asked with the count, then gone.
    TreeView_SelectItem(tree_, Item(folder_));
    wintest::Seams seams;
    SendMessageW(tree_, WM_COMMAND, app::IDM_DELETE_FOLDER, 0);
    ASSERT_TRUE(PumpUntil([&] { return !seams.boxes.empty(); }));
    EXPECT_EQ(seams.boxes[0].text, platform::Utf8ToWide(app::DeleteFolderQuestion(folder_, 1, 2)));
    EXPECT_FALSE(Item(folder_)) << "gone at once";
    ASSERT_TRUE(PumpUntil([&] { return Shows(platform::Utf8ToWide(app::FolderDeletedText(folder_, 1, 2)).c_str()); }));
    Settle();
    EXPECT_FALSE(Item("改／名"));
}

// Files dropped in two drops, the second while the first runs, then a
// folder: all are queued, the large file stored in parts, the folder as a
// tree in the open folder; the file comes back through the save dialog and
// the tree's 下载文件夹... brings the folder back whole.
TEST_F(MainWindowTest, DropsAreStoredAndComeBackThroughTheDialogs) {
    HWND list = OpenFolder();
    wintest::Seams seams;
    std::vector<fs::path> files;
    for (const char* name : {"d1.bin", "d2.bin", "大的.bin", "d4.bin", "d5.bin"})
        files.push_back(TempFile(name, name[0] == 'd' ? 0 : 250000));
    Drop(list, {files[0], files[1], files[2]});
    Drop(list, {files[3], files[4]});
    EXPECT_TRUE(seams.boxes.empty()) << "no busy box: the queue takes them";
    ASSERT_TRUE(PumpUntil([&] { return Shows(L"上传完成"); }, std::chrono::seconds(120)));
    Settle();
    ASSERT_EQ(ListView_GetItemCount(list), 7);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, Row("大的.bin"), LVIS_SELECTED, LVIS_SELECTED);

    const fs::path temp = fs::temp_directory_path();
    const fs::path saved = temp / "saved-big.bin", dropped = temp / L"拖入的", back = temp / L"取回";
    fs::remove(saved);
    for (const auto& dir : {dropped, back}) fs::remove_all(dir);
    fs::create_directories(dropped / L"子");
    fs::create_directory(back);
    std::ofstream(dropped / L"子" / L"z.bin", std::ios::binary) << std::string(kPartSize + 1, 'z');
    std::ofstream(dropped / L"a.txt", std::ios::binary) << "a";
    const auto written = fs::last_write_time(dropped / L"a.txt") - std::chrono::hours(24 * 400);
    fs::last_write_time(dropped / L"a.txt", written);
    std::wstring answer = saved.wstring();
    ui::SetFileDialogHook([&](const ui::FileDialogRequest& request) -> std::optional<std::wstring> {
        seams.dialogs.push_back(request);
        return answer;
    });
    SendMessageW(list, WM_COMMAND, app::CmdDownloadAttachment, 0);
    ASSERT_EQ(seams.dialogs.size(), 1u);
    EXPECT_EQ(seams.dialogs[0].proposedName, L"大的.bin");
    ASSERT_TRUE(PumpUntil([&] { return Shows(L"操作成功完成"); }, std::chrono::seconds(60)));
    EXPECT_TRUE(BytesOf(saved) == BytesOf(files[2])) << "byte-exact";

    Drop(list, {dropped});
    ASSERT_TRUE(PumpUntil([&] { return Shows(L"上传完成"); }, std::chrono::seconds(120)));
    ASSERT_TRUE(PumpUntil([&] { return Item("子") != nullptr; }));
    EXPECT_EQ(TreeView_GetParent(tree_, Item("子")), Item("拖入的"));
    EXPECT_EQ(TreeView_GetParent(tree_, Item("拖入的")), Item(folder_)) << "in the folder open when dropped";
    // A folder closed by hand stays closed when the tree is read again.
    TreeView_Expand(tree_, Item("拖入的"), TVE_COLLAPSE);
    SendMessageW(tree_, WM_COMMAND, app::IDM_REFRESH_FOLDERS, 0);
    ASSERT_TRUE(PumpUntil([&] { return Item("子") != nullptr; }));
    EXPECT_FALSE(TreeView_GetItemState(tree_, Item("拖入的"), TVIS_EXPANDED) & TVIS_EXPANDED);
    EXPECT_TRUE(TreeView_GetItemState(tree_, Item(folder_), TVIS_EXPANDED) & TVIS_EXPANDED);
    Settle();
    answer = back.wstring();
    TreeView_SelectItem(tree_, Item("拖入的"));
    SendMessageW(tree_, WM_COMMAND, app::IDM_DOWNLOAD_FOLDER, 0);
    ASSERT_EQ(seams.dialogs.size(), 2u);
    EXPECT_EQ(seams.dialogs[1].kind, ui::FileDialogKind::Folder);
    ASSERT_TRUE(PumpUntil([&] { return Shows(L"操作成功完成"); }, std::chrono::seconds(60)));
    EXPECT_TRUE(BytesOf(back / L"拖入的" / L"子" / L"z.bin") == BytesOf(dropped / L"子" / L"z.bin"));
    EXPECT_EQ(BytesOf(back / L"拖入的" / L"a.txt"), "a");
    EXPECT_EQ(std::chrono::floor<std::chrono::seconds>(fs::last_write_time(back / L"拖入的" / L"a.txt")),
              std::chrono::floor<std::chrono::seconds>(written))
        << "the time it had when it was stored";
}

// Tab from the tree to the list, Ctrl+A, Delete answered no; then a row
// checked with Space and another selected, Delete answered yes: only the
// checked file goes, and it waits in 已删除.
TEST_F(MainWindowTest, KeysWalkTheListAndADeleteAsksAndLandsInTheTrash) {
    HWND list = OpenFolder();
    SetFocus(tree_);
    EXPECT_TRUE(PressKey(tree_, VK_TAB, false));
    EXPECT_EQ(GetFocus(), list);
    EXPECT_TRUE(PressKey(list, 'A', true));
    EXPECT_EQ(ListView_GetSelectedCount(list), 2u);
    std::vector<std::wstring> asked;
    ui::SetMessageHook([&](const ui::MessageRequest& request) { return asked.push_back(request.text), IDNO; });
    EXPECT_TRUE(PressKey(list, VK_DELETE, false));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], platform::Utf8ToWide(app::DeleteFilesQuestion({"first.bin", "second.bin"})));
    Settle();
    EXPECT_EQ(ListView_GetItemCount(list), 2) << "answered no: nothing moves";

    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(ListView_GetCheckState(list, 0)) << "the list asks the rows for the check";
    ListView_SetItemState(list, 0, 0, LVIS_SELECTED);
    ListView_SetItemState(list, 1, LVIS_SELECTED, LVIS_SELECTED);
    {
        wintest::Seams seams;
        EXPECT_TRUE(PressKey(list, VK_DELETE, false));
        ASSERT_EQ(seams.boxes.size(), 1u);
        EXPECT_EQ(seams.boxes[0].text, platform::Utf8ToWide(app::DeleteFilesQuestion({"first.bin"})));
    }
    ASSERT_TRUE(PumpUntil([&] { return Shows(L"已将 1 个文件移到已删除: first.bin"); }));
    Settle();
    ASSERT_EQ(ListView_GetItemCount(list), 1);
    EXPECT_EQ(Cell(list, 0, 0), L"second.bin") << "the checked row went, not the selected one";
    OpenFolder("已删除");
    EXPECT_GE(Row("first.bin"), 0) << "in the trash, not gone";
    EXPECT_FALSE(Shows(L"准备就绪")) << "the status line still says what happened";
}

// The window grows and shrinks with a sizing border; at 800x600 and
// maximised no two of its controls overlap; it opens where it was left.
TEST_F(MainWindowTest, ResizesWithoutOverlapAndOpensWhereItWasLeft) {
    wintest::RegistryScratch scratch;
    HWND list = OpenFolder();
    EXPECT_TRUE(GetWindowLongW(frame_, GWL_STYLE) & WS_THICKFRAME);
    auto overlaps = [&] {
        std::vector<std::pair<HWND, RECT>> shown;
        for (HWND child = GetWindow(frame_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT r{};
            if (IsWindowVisible(child) && GetWindowRect(child, &r) && r.right > r.left) shown.push_back({child, r});
        }
        int found = 0;
        for (std::size_t i = 0; i < shown.size(); ++i)
            for (std::size_t j = i + 1; j < shown.size(); ++j) {
                RECT both{};
                if (IntersectRect(&both, &shown[i].second, &shown[j].second)) ++found;
            }
        return found;
    };
    auto columnsFit = [&] {
        RECT area{};
        GetClientRect(list, &area);
        int sum = 0;
        for (int i = 0; i < 4; ++i) sum += ListView_GetColumnWidth(list, i);
        return sum <= area.right && sum > area.right / 2;
    };
    SetWindowPos(frame_, nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(overlaps(), 0) << "at 800x600";
    EXPECT_TRUE(columnsFit());
    ShowWindow(frame_, SW_MAXIMIZE);
    EXPECT_TRUE(IsZoomed(frame_));
    EXPECT_EQ(overlaps(), 0) << "maximised";
    EXPECT_TRUE(columnsFit()) << "the columns follow the width";
    ShowWindow(frame_, SW_RESTORE);
    SetWindowPos(frame_, nullptr, 40, 30, 900, 650, SWP_NOZORDER);
    SendMessageW(frame_, WM_CLOSE, 0, 0);
    ASSERT_FALSE(IsWindow(frame_));
    wintest::QuitPosted();
    frame_ = mainwindow::CreateMainWindow(app::ModuleInstance(), desktop_);
    RECT again{};
    GetWindowRect(frame_, &again);
    EXPECT_EQ((std::array{again.left, again.top, again.right - again.left, again.bottom - again.top}),
              (std::array<LONG, 4>{40, 30, 900, 650}));
}

TEST_F(MainWindowTest, SearchAndTheFolderKeysEmptyAndTellProperties) {
    HWND list = OpenFolder();
    HWND search = FindWindowExW(frame_, nullptr, L"Edit", L"");
    ASSERT_TRUE(search);
    SetWindowTextW(search, L"COND");
    SendMessageW(search, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil([&] { return ListView_GetItemCount(list) == 1; }));
    EXPECT_EQ(Cell(list, 0, 0), L"second.bin") << "part of the name, any case";
    SetWindowTextW(search, L"");  // EN_CHANGE through the frame: the folder again
    ASSERT_TRUE(PumpUntil([&] { return ListView_GetItemCount(list) == 2; }));

    // Ctrl+E on the open folder: asked, then everything to 已删除.
    wintest::Seams seams;
    TreeView_SelectItem(tree_, Item(folder_));
    EXPECT_TRUE(PressKey(tree_, 'E', true));
    ASSERT_TRUE(PumpUntil([&] { return !seams.boxes.empty(); }));
    EXPECT_EQ(seams.boxes[0].text, platform::Utf8ToWide(app::EmptyFolderQuestion(folder_, 2)));
    ASSERT_TRUE(PumpUntil([&] { return ListView_GetItemCount(list) == 0; }));
    // Ctrl+P: the folder's properties count nothing now (the tree was
    // rebuilt meanwhile: select the folder again).
    ASSERT_TRUE(PumpUntil([&] { return Item(folder_) != nullptr && desktop_->Idle(); }));
    TreeView_SelectItem(tree_, Item(folder_));
    EXPECT_TRUE(PressKey(tree_, 'P', true));
    ASSERT_TRUE(PumpUntil([&] { return seams.boxes.size() == 2; }));
    EXPECT_NE(seams.boxes[1].text.find(L"文件数: 0"), std::wstring::npos);
}

TEST_F(MainWindowTest, AThousandFilesListAndPageByFifty) {
    // The provider seeded "千份" with 1,000 files for the first account.
    desktop_.reset();
    TearDown();
    Begin(wintest::SignedIn("demo@163.example", "vantlo-demo"), "demo@163.example");
    ASSERT_TRUE(PumpUntil([&] { return Item("千份") != nullptr; }));
    HWND list = OpenFolder("千份");
    ASSERT_EQ(ListView_GetItemCount(list), 1000);
    EXPECT_EQ(Cell(list, 999, 1), L"1000 字节") << "the last row is there to draw";
    Click(FindWindowExW(frame_, nullptr, L"Static", L"下一页"));
    EXPECT_EQ(ListView_GetTopIndex(list), 50);
    SendMessageW(list, WM_COMMAND, app::CmdNextPage, 0);
    EXPECT_EQ(ListView_GetTopIndex(list), 100);
    Click(FindWindowExW(frame_, nullptr, L"Static", L"上一页"));
    EXPECT_EQ(ListView_GetTopIndex(list), 50);
    // F5: the tree and the list afresh.
    EXPECT_TRUE(PressKey(list, VK_F5, false));
    ASSERT_TRUE(PumpUntil([&] { return Item("千份") != nullptr && desktop_->Idle(); }));
    EXPECT_EQ(ListView_GetItemCount(list), 1000);
}

// All of this runs while the provider holds every answer, and the desktop's
// work still waits for it at the end: had the window waited for the
// provider too, that work would have ended first.
TEST(StalledProvider, TheMainWindowRepaintsMovesAndCloses) {
    wintest::StallServer stall;
    auto session = std::make_unique<session::Session>();
    session::SetCell(session->host, stall.HostPort());
    session->providerOverride = stall.HostPort();
    std::shared_ptr<app::Desktop> desktop = app::Start(wintest::AccountOver(std::move(session), "stalled@163.example"));
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
