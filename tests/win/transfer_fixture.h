// The real main window after a real sign-in to the local vantlo-provider
// (VANTLO_PROVIDER), with a folder open in the message list, for the list's
// commands and transfers. A second Session of the same account ("checker")
// arranges content and reads the provider's state for the checks. Every
// status text the label is given is recorded, in order.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "drop_handle.h"
#include "mainwindow/folder_commands.h"
#include "mainwindow/folder_refresh.h"
#include "mainwindow/main_window.h"
#include "mainwindow/notice_pane.h"
#include "mainwindow/status_label.h"
#include "mainwindow/ui_globals.h"
#include "messagelist/download_worker.h"
#include "messagelist/message_list.h"
#include "messagelist/progress_timer.h"
#include "messagelist/transfer_book.h"
#include "messagelist/upload_worker.h"
#include "platform/alert.h"
#include "platform/text.h"
#include "session/cells.h"
#include "session/folders.h"
#include "session/listing.h"
#include "session/message_moves.h"
#include "session/provider_directory.h"
#include "session/signin.h"
#include "session/store_file.h"
#include "session/upload.h"
#include "signin/app_state.h"
#include "ui_driver.h"

namespace wintest {

// Records every text the status label is given, by standing in front of its
// window procedure.
class StatusRecorder {
public:
    explicit StatusRecorder(HWND label) : label_(label) {
        Current() = this;
        previous_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(label_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StatusRecorder::Proc)));
    }
    ~StatusRecorder() {
        if (IsWindow(label_)) SetWindowLongPtrW(label_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        Current() = nullptr;
    }
    StatusRecorder(const StatusRecorder&) = delete;
    StatusRecorder& operator=(const StatusRecorder&) = delete;

    const std::vector<std::wstring>& Texts() const { return texts_; }
    bool Saw(const std::wstring& text) const { return std::find(texts_.begin(), texts_.end(), text) != texts_.end(); }
    void Clear() { texts_.clear(); }

private:
    static StatusRecorder*& Current() {
        static StatusRecorder* current = nullptr;
        return current;
    }
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        StatusRecorder* self = Current();
        if (message == WM_SETTEXT && self && lParam)
            self->texts_.emplace_back(reinterpret_cast<const wchar_t*>(lParam));
        WNDPROC previous = self ? self->previous_ : DefWindowProcW;
        return CallWindowProcW(previous, window, message, wParam, lParam);
    }

    HWND label_;
    WNDPROC previous_ = nullptr;
    std::vector<std::wstring> texts_;
};

// Whether `wanted` occurs in `seen` in this order (other texts may lie between).
inline bool InOrder(const std::vector<std::wstring>& seen, const std::vector<std::wstring>& wanted) {
    auto at = seen.begin();
    for (const std::wstring& text : wanted) {
        at = std::find(at, seen.end(), text);
        if (at == seen.end()) return false;
        ++at;
    }
    return true;
}

inline std::string Joined(const std::vector<std::wstring>& texts) {
    std::string joined;
    for (const std::wstring& text : texts) joined += "[" + platform::WideToUtf8(text) + "] ";
    return joined;
}

// A file of its own for each test, under the prefix's temporary folder.
inline std::wstring ScratchPath(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    CreateDirectoryW(temp, nullptr);  // a fresh prefix may not have it yet
    std::wstring dir = std::wstring(temp) + L"vantlo-transfers";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\" + name;
}

inline std::string PatternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned value = seed;
    for (char& byte : bytes) {
        value = value * 1103515245u + 12345u;
        byte = static_cast<char>(value >> 16);
    }
    return bytes;
}

inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A name no earlier test of this run has used.
inline std::wstring UniqueName(const std::wstring& stem, const std::wstring& extension) {
    static unsigned counter = 0;
    return stem + L"-" + std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter) + extension;
}

class TransferWindowTest : public ::testing::Test {
protected:
    // The account the test signs in with; each suite keeps to its own, so
    // their folders and messages do not meet.
    virtual const char* Account() const = 0;
    virtual const char* Password() const = 0;

    void SetUp() override {
        ASSERT_FALSE(ProviderAddress().empty()) << "run through run-wine-test.sh with a provider";
        platform::SetAlertHook([this](const std::string&, const std::string& text) { alerts_.push_back(text); });
        messagelist::TheUploadPacing() = messagelist::UploadPacing{};
        session::Session& session = ui::TheSession();
        session::ClearFolderTable(session.folderTable);
        session::ClearMessageTable(session.messageTable);
        ASSERT_EQ(session::SignIn(session, Account(), session::EntryForAccount(Account()), Password()),
                  session::SignInResult::Ok);
        ASSERT_EQ(session::SignIn(checker_, Account(), session::EntryForAccount(Account()), Password()),
                  session::SignInResult::Ok);
    }

    void TearDown() override {
        // No worker of this test may reach into the next one.
        EXPECT_TRUE(PumpUntil([] { return WorkersEnded() && messagelist::TransfersSettled(ui::TheSession()); }, 90000))
            << "a transfer worker did not end";
        recorder_.reset();
        if (HWND main = MainWindowHandle()) SendMessageW(main, WM_CLOSE, 0, 0);
        PumpMessages(50);
        messagelist::StopProgressTimer();
        messagelist::Transfers().failureShown = false;
        messagelist::TheUploadPacing() = messagelist::UploadPacing{};
        mainwindow::SetCurrentFolderId("");
        platform::SetAlertHook(nullptr);
        EXPECT_TRUE(alerts_.empty()) << "unexpected alert: " << (alerts_.empty() ? "" : alerts_.front());
    }

    // Call after arranging content: the tree loads the folders as it is made.
    void OpenMainWindow() {
        mainwindow::ResetFolderRefresh();
        ASSERT_EQ(CreateMainWindow(ui::ModuleInstance()), 0);
        ASSERT_NE(MainWindowHandle(), nullptr);
        PumpMessages(50);
        recorder_ = std::make_unique<StatusRecorder>(mainwindow::statusLabel);
    }

    // Shows the folder in the message list, as a click on its tree item does.
    void OpenFolder(const std::string& folderId) {
        mainwindow::DestroyNoticePane();
        if (!messagelist::messageListWindow) messagelist::CreateMessageListArea();
        mainwindow::OpenFolder(folderId);
        PumpMessages(20);
    }

    std::string MakeFolder(const std::string& name) {
        std::string id;
        EXPECT_EQ(session::CreateUserFolder(checker_, name, id), session::Status::Ok) << name;
        return id;
    }

    // Stores a file into a folder through the checker; its subject is the
    // file's name.
    void StoreFile(const std::wstring& name, const std::string& bytes, const std::string& folderId) {
        std::wstring path = ScratchPath(name);
        ASSERT_TRUE(WriteBytes(path, bytes));
        session::StoreResult stored = session::StoreFileInFolder(checker_, path, folderId);
        ASSERT_EQ(stored.status, session::Status::Ok) << session::StatusText(stored.status);
    }

    // A mail without attachment, moved into the folder.
    void StoreNote(const std::string& subject, const std::string& folderId) {
        ASSERT_EQ(session::GetComposeId(checker_), session::Status::Ok);
        ASSERT_EQ(session::DeliverUpload(checker_, subject), session::Status::Ok);
        std::vector<std::string> ids = Subjects("1", subject);
        ASSERT_EQ(ids.size(), 1u);
        if (folderId != "1") {
            ASSERT_EQ(session::MoveMessages(checker_, session::MessageIdQueue(ids.begin(), ids.end()), folderId),
                      session::Status::Ok);
        }
    }

    // Ids of the folder's messages with that subject, as the provider lists them.
    std::vector<std::string> Subjects(const std::string& folderId, const std::string& subject) {
        session::MessageTable table;
        session::InitMessageTable(table);
        EXPECT_EQ(session::ListMessages(checker_, folderId, table), session::Status::Ok);
        std::vector<std::string> ids;
        for (std::size_t i = 0; i < session::UsedMessageRows(table); ++i)
            if (session::CellText(table.rows[i].subject) == subject) ids.emplace_back(table.rows[i].id);
        return ids;
    }

    std::vector<std::string> AllSubjects(const std::string& folderId) {
        session::MessageTable table;
        session::InitMessageTable(table);
        EXPECT_EQ(session::ListMessages(checker_, folderId, table), session::Status::Ok);
        std::vector<std::string> subjects;
        for (std::size_t i = 0; i < session::UsedMessageRows(table); ++i) subjects.emplace_back(table.rows[i].subject);
        return subjects;
    }

    HWND List() const { return messagelist::messageListWindow; }
    int ItemCount() const { return static_cast<int>(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0)); }
    std::wstring Title(int item) const {
        wchar_t text[300] = {};
        LVITEMW lvi{};
        lvi.pszText = text;
        lvi.cchTextMax = 300;
        SendMessageW(List(), LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi));
        return text;
    }
    // The list item whose title is the mark and this subject; -1 when none.
    int ItemOf(const std::wstring& subject) const {
        for (int i = 0; i < ItemCount(); ++i) {
            std::wstring title = Title(i);
            if (title.size() >= 3 && title.substr(3) == subject) return i;
        }
        return -1;
    }
    void SetItemState(int item, UINT state, UINT mask) {
        LVITEMW lvi{};
        lvi.stateMask = mask;
        lvi.state = state;
        SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi));
    }
    void Select(int item) { SetItemState(item, LVIS_SELECTED, LVIS_SELECTED); }
    void Check(int item) { SetItemState(item, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK); }
    void ClearSelection() { SetItemState(-1, 0, LVIS_SELECTED); }

    // A menu command, as the popup menu sends it to the list.
    void Command(unsigned command) { SendMessageW(List(), WM_COMMAND, command, 0); }

    // Files dropped on the list from the shell: WM_DROPFILES with a real
    // drop handle, which the list's procedure finishes.
    void Drop(const std::vector<std::wstring>& paths) {
        HDROP drop = MakeDropHandle(paths);
        ASSERT_NE(drop, nullptr);
        SendMessageW(List(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    }

    // The popup menu a right click on the list shows, read while it is open
    // and then closed without a choice.
    struct ShownEntry {
        UINT id;
        std::wstring text;
        bool greyed;
        std::vector<ShownEntry> submenu;
    };
    std::vector<ShownEntry> RightClickMenu() {
        ShownMenu() = {};
        MenuRead() = false;
        UINT_PTR timer = SetTimer(nullptr, 0, 100, &TransferWindowTest::ReadOpenMenu);
        NMITEMACTIVATE click{};
        click.hdr.hwndFrom = List();
        click.hdr.code = NM_RCLICK;
        click.iItem = -1;
        SendMessageW(MainWindowHandle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
        KillTimer(nullptr, timer);
        EXPECT_TRUE(MenuRead()) << "no popup menu was shown";
        return ShownMenu();
    }

    static bool Ended(HANDLE thread) { return !thread || WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }
    static bool WorkersEnded() { return Ended(messagelist::UploadThread()) && Ended(messagelist::DownloadThread()); }

    // Pumps messages until `done` holds, for at most `ms`; true when it did.
    bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
        DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > ms) return false;
            PumpMessages(10);
        }
        return true;
    }

    const std::vector<std::wstring>& StatusTexts() const { return recorder_->Texts(); }
    bool SawStatus(const std::wstring& text) const { return recorder_->Saw(text); }

    static std::vector<ShownEntry> ReadMenu(HMENU menu) {
        std::vector<ShownEntry> entries;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[200] = {};
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE | MIIM_SUBMENU;
            info.dwTypeData = text;
            info.cch = 200;
            GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
            ShownEntry entry{info.wID, text, (info.fState & MFS_GRAYED) != 0, {}};
            if (info.hSubMenu) entry.submenu = ReadMenu(info.hSubMenu);
            entries.push_back(entry);
        }
        return entries;
    }
    static std::vector<ShownEntry>& ShownMenu() {
        static std::vector<ShownEntry> shown;
        return shown;
    }
    static bool& MenuRead() {
        static bool read = false;
        return read;
    }
    // Runs in the menu's own loop.
    static VOID CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR, DWORD) {
        HWND popup = FindWindowW(L"#32768", nullptr);
        if (!popup || MenuRead()) return;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        if (!menu) return;
        ShownMenu() = ReadMenu(menu);
        MenuRead() = true;
        EndMenu();
    }

    session::Session checker_;
    std::vector<std::string> alerts_;
    std::unique_ptr<StatusRecorder> recorder_;
};

}  // namespace wintest
