// The real main window after a real sign-in to the local vantlo-provider
// (VANTLO_PROVIDER): made fresh for each test and closed after it. A second
// Session, signed in on its own, reads the provider's state for the checks.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "session/session.h"

namespace wintest {

struct TreeEntry {
    HTREEITEM item;
    std::wstring text;
    std::uint32_t data;
};

// A folder as the provider reports it.
struct ProviderFolder {
    std::string id;
    std::string name;
    std::string unread;
    std::string total;
};

class LiveMainWindow : public ::testing::Test {
protected:
    static constexpr const char* kAccount = "demo@163.example";
    static constexpr const char* kPassword = "vantlo-demo";

    void SetUp() override;
    void TearDown() override;

    HWND Main() const;
    HWND Tree() const;
    HTREEITEM AccountItem() const;
    HTREEITEM MailRootItem() const;
    std::vector<TreeEntry> Children(HTREEITEM parent) const;
    std::vector<TreeEntry> FolderItems() const { return Children(MailRootItem()); }
    // The folder item whose text is `name` (null when there is none).
    HTREEITEM FolderItem(const std::wstring& name) const;
    void Select(HTREEITEM item);
    // A notification of the tree, as the tree would send it to the main window.
    LRESULT TreeNotify(UINT code);
    void TreeCommand(UINT command);

    // The folders and files the tests look at, stored once per run through
    // the session API: "工作文档" with two files, "照片" with one.
    void PrepareContent();

    // The provider's folders and one folder's page, read by the checking session.
    std::vector<ProviderFolder> ProviderFolders();
    bool ProviderListing(const std::string& folderId, session::MessageTable& table);

    // Pumps messages until `done` holds, for at most `ms`; true when it did.
    template <typename Done>
    bool PumpUntil(Done done, DWORD ms = 10000);

    std::vector<std::string> alerts_;
    session::Session checker_;
};

template <typename Done>
bool LiveMainWindow::PumpUntil(Done done, DWORD ms) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

}  // namespace wintest
