#include "live_main_window.h"

#include "mainwindow/folder_refresh.h"
#include "mainwindow/folder_tree.h"
#include "mainwindow/main_window.h"
#include "mainwindow/tray_icon.h"
#include "mainwindow/ui_globals.h"
#include "platform/alert.h"
#include "platform/text.h"
#include "session/folders.h"
#include "session/listing.h"
#include "session/signin.h"
#include "session/store_file.h"
#include "signin/app_state.h"
#include "ui_driver.h"

namespace wintest {

namespace {
bool contentPrepared = false;

std::filesystem::path WriteScratchFile(const std::wstring& name, const std::string& bytes) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + L"vantlo-live-content";
    CreateDirectoryW(temp, nullptr);  // a fresh prefix may not have it yet
    CreateDirectoryW(dir.c_str(), nullptr);
    std::wstring path = dir + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << platform::WideToUtf8(path);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(written, bytes.size());
    return std::filesystem::path(path);
}
}  // namespace

void LiveMainWindow::PrepareContent() {
    if (contentPrepared) return;
    // ASCII file names: under a Wine whose Unix locale is missing, names
    // outside ASCII cannot be made on disk. The folders' names are Chinese.
    struct File {
        const wchar_t* name;
        std::string bytes;
    };
    struct Folder {
        const char* name;
        std::vector<File> files;  // stored in this order: the last is listed first
    };
    const Folder folders[] = {
        {"工作文档",
         {{L"budget 2026.csv", "项目,金额\r\n服务器,12000\r\n"},
          {L"meeting notes 2026-01-05.txt", std::string(3000, 'm')}}},
        {"照片", {{L"sunset.bmp", std::string(2 * 1048576 + 5000, 'b')}}},
    };
    for (const Folder& folder : folders) {
        std::string id;
        for (const ProviderFolder& existing : ProviderFolders())
            if (existing.name == folder.name) id = existing.id;
        if (id.empty()) {
            ASSERT_EQ(session::CreateUserFolder(checker_, folder.name, id), session::Status::Ok);
        }
        for (const File& file : folder.files) {
            session::StoreResult stored =
                session::StoreFileInFolder(checker_, WriteScratchFile(file.name, file.bytes), id);
            ASSERT_EQ(stored.status, session::Status::Ok)
                << session::StatusText(stored.status) << ": " << platform::WideToUtf8(file.name);
        }
    }
    contentPrepared = true;
}

void LiveMainWindow::SetUp() {
    ASSERT_FALSE(ProviderAddress().empty()) << "run through run-wine-test.sh with a provider";
    platform::SetAlertHook([this](const std::string&, const std::string& text) { alerts_.push_back(text); });
    session::Session& session = ui::TheSession();
    session::ClearFolderTable(session.folderTable);
    session::ClearMessageTable(session.messageTable);
    ASSERT_EQ(session::SignIn(session, kAccount, session::EntryForAccount(kAccount), kPassword),
              session::SignInResult::Ok);
    ASSERT_EQ(session::SignIn(checker_, kAccount, session::EntryForAccount(kAccount), kPassword),
              session::SignInResult::Ok);
    PrepareContent();
    ASSERT_TRUE(contentPrepared);
    mainwindow::ResetFolderRefresh();
    ASSERT_EQ(CreateMainWindow(ui::ModuleInstance()), 0);
    ASSERT_NE(MainWindowHandle(), nullptr);
    PumpMessages(50);
}

void LiveMainWindow::TearDown() {
    if (HWND main = MainWindowHandle()) SendMessageW(main, WM_CLOSE, 0, 0);
    PumpMessages(50);  // takes the quit message off the queue as well
    mainwindow::SetNotifyIconCall(nullptr);
    mainwindow::SetCurrentFolderId("");
    platform::SetAlertHook(nullptr);
    EXPECT_TRUE(alerts_.empty()) << "unexpected alert: " << (alerts_.empty() ? "" : alerts_.front());
}

HWND LiveMainWindow::Main() const {
    return MainWindowHandle();
}
HWND LiveMainWindow::Tree() const {
    return mainwindow::folderTree;
}

HTREEITEM LiveMainWindow::AccountItem() const {
    return TreeView_GetRoot(Tree());
}
HTREEITEM LiveMainWindow::MailRootItem() const {
    return TreeView_GetChild(Tree(), AccountItem());
}

std::vector<TreeEntry> LiveMainWindow::Children(HTREEITEM parent) const {
    std::vector<TreeEntry> entries;
    for (HTREEITEM item = TreeView_GetChild(Tree(), parent); item; item = TreeView_GetNextSibling(Tree(), item)) {
        wchar_t text[200] = {};
        TVITEMW tvi{};
        tvi.mask = TVIF_TEXT | TVIF_PARAM | TVIF_HANDLE;
        tvi.hItem = item;
        tvi.pszText = text;
        tvi.cchTextMax = 200;
        TreeView_GetItem(Tree(), &tvi);
        entries.push_back({item, text, static_cast<std::uint32_t>(tvi.lParam)});
    }
    return entries;
}

HTREEITEM LiveMainWindow::FolderItem(const std::wstring& name) const {
    for (const TreeEntry& entry : FolderItems())
        if (entry.text == name) return entry.item;
    return nullptr;
}

void LiveMainWindow::Select(HTREEITEM item) {
    TreeView_SelectItem(Tree(), item);
}

LRESULT LiveMainWindow::TreeNotify(UINT code) {
    NMHDR header{};
    header.hwndFrom = Tree();
    header.code = code;
    return SendMessageW(Main(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
}

void LiveMainWindow::TreeCommand(UINT command) {
    SendMessageW(Tree(), WM_COMMAND, command, 0);
}

std::vector<ProviderFolder> LiveMainWindow::ProviderFolders() {
    session::ClearFolderTable(checker_.folderTable);
    EXPECT_EQ(session::GetAllFolders(checker_), session::Status::Ok);
    std::vector<ProviderFolder> folders;
    for (std::size_t i = 0; i < session::UsedFolderRows(checker_.folderTable); ++i) {
        const session::FolderRow& row = checker_.folderTable.rows[i];
        folders.push_back({row.id, row.name, row.unreadMessageCount, row.messageCount});
    }
    return folders;
}

bool LiveMainWindow::ProviderListing(const std::string& folderId, session::MessageTable& table) {
    session::InitMessageTable(table);
    return session::ListMessages(checker_, folderId, table) == session::Status::Ok;
}

}  // namespace wintest
