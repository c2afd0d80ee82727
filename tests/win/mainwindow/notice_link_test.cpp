#include "mainwindow/notice_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(NoticeLink, TakesTheBrowserPathOutOfTheShellCommand) {
    struct Case {
        const wchar_t* command;
        const wchar_t* path;
    } cases[] = {
        {L"\"C:\\Program Files\\Browser\\browser.exe\" -osint -url \"%1\"", L"C:\\Program Files\\Browser\\browser.exe"},
        {L"\"C:\\b.exe\"", L"C:\\b.exe"},
        {L"\"C:\\unclosed quote.exe", L"C:\\unclosed quote.exe"},
        {L"C:\\windows\\winebrowser.exe -nohome", L"C:\\windows\\winebrowser.exe"},
        {L"C:\\browser.exe", L"C:\\browser.exe"},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(mainwindow::BrowserPathFromCommand(c.command), c.path) << c.command;
}

TEST(NoticeLink, OnlyHttpLinksInAnyCase) {
    EXPECT_TRUE(mainwindow::IsHttpLink(L"http://example.invalid/"));
    EXPECT_TRUE(mainwindow::IsHttpLink(L"HTTP://EXAMPLE.INVALID/"));
    EXPECT_TRUE(mainwindow::IsHttpLink(L"hTtP://x"));
    EXPECT_TRUE(mainwindow::IsHttpLink(L"http://"));
    EXPECT_FALSE(mainwindow::IsHttpLink(L"https://example.invalid/"));
    EXPECT_FALSE(mainwindow::IsHttpLink(L"file:///C:/windows/system32/calc.exe"));
    EXPECT_FALSE(mainwindow::IsHttpLink(L"www.example.invalid"));
    EXPECT_FALSE(mainwindow::IsHttpLink(L"http:/"));
    EXPECT_FALSE(mainwindow::IsHttpLink(L" http://x"));
    EXPECT_FALSE(mainwindow::IsHttpLink(L""));
}

TEST(NoticeLink, TheCommandLineIsThePathASpaceAndTheLink) {
    EXPECT_EQ(mainwindow::BrowserCommandLine(L"C:\\b.exe", L"http://x/"), L"C:\\b.exe http://x/");
    EXPECT_EQ(mainwindow::BrowserCommandLine(L"", L"http://x/"), L" http://x/");  // no browser: fails to start
    EXPECT_EQ(mainwindow::BrowserCommandLine(L"C:\\b.exe", L"mailto:a@b"), L"");
    // 259 characters fit; one more and the link is not opened rather than cut.
    std::wstring path = L"C:\\b.exe";
    std::wstring fits = L"http://" + std::wstring(259 - path.size() - 1 - 7, L'a');
    EXPECT_EQ(mainwindow::BrowserCommandLine(path, fits).size(), 259u);
    EXPECT_EQ(mainwindow::BrowserCommandLine(path, fits + L"a"), L"");
}

// A link clicked in a real rich edit control, with the browser taken from
// the (per-user) registry and the start of the process caught.
class NoticeLinkClick : public ::testing::Test {
protected:
    void SetUp() override {
        LoadLibraryW(L"RICHED32.DLL");
        host_ = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 400, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        pane_ = CreateWindowExW(0, L"RICHEDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 400, 200, host_,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(pane_, nullptr);
        mainwindow::SetProcessLauncher([this](const std::wstring& line) {
            started_.push_back(line);
            return true;
        });
        // The machine's classes: the test prefix is thrown away after the run,
        // and the value found there is put back all the same.
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
        ASSERT_NE(key_, nullptr);
        original_ = mainwindow::ReadBrowserCommand();
        SetBrowser(L"\"C:\\Browsers\\test browser.exe\" -url \"%1\"");
    }
    void TearDown() override {
        mainwindow::SetProcessLauncher(nullptr);
        if (original_.empty())
            RegDeleteValueW(key_, nullptr);
        else
            SetBrowser(original_);
        RegCloseKey(key_);
        DestroyWindow(host_);
    }
    void SetBrowser(const std::wstring& command) {
        RegSetValueExW(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
    // Puts the text into the pane and clicks the characters [from, to).
    void Click(const std::wstring& text, LONG from, LONG to) {
        SetWindowTextW(pane_, text.c_str());
        ENLINK link{};
        link.nmhdr.hwndFrom = pane_;
        link.nmhdr.code = EN_LINK;
        link.msg = WM_LBUTTONDOWN;
        link.chrg = {from, to};
        mainwindow::OpenNoticeLink(pane_, link);
    }

    static constexpr const wchar_t* kKey = L"Software\\Classes\\http\\shell\\open\\command";
    HWND host_ = nullptr;
    HWND pane_ = nullptr;
    HKEY key_ = nullptr;
    std::wstring original_;
    std::vector<std::wstring> started_;
};

TEST_F(NoticeLinkClick, OpensTheClickedLinkWithTheBrowser) {
    Click(L"公告原文: http://127.0.0.1/pubinfo/Vantlo end", 6, 37);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0], L"C:\\Browsers\\test browser.exe http://127.0.0.1/pubinfo/Vantlo");
    CHARRANGE selection{};
    SendMessageW(pane_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    EXPECT_EQ(selection.cpMin, 6);
    EXPECT_EQ(selection.cpMax, 37);
}

TEST_F(NoticeLinkClick, CapitalLettersOpenOtherSchemesDoNot) {
    Click(L"HTTP://EXAMPLE.INVALID/", 0, 23);
    Click(L"file:///C:/x.exe", 0, 16);
    Click(L"https://example.invalid/", 0, 24);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0], L"C:\\Browsers\\test browser.exe HTTP://EXAMPLE.INVALID/");
}

TEST_F(NoticeLinkClick, AnUnquotedBrowserCommandIsCutAtItsFirstSpace) {
    SetBrowser(L"C:\\winebrowser.exe -nohome");
    Click(L"http://a/", 0, 9);
    ASSERT_EQ(started_.size(), 1u);
    EXPECT_EQ(started_[0], L"C:\\winebrowser.exe http://a/");
}

TEST_F(NoticeLinkClick, ALinkLongerThanItsRoomIsNotOpened) {
    std::wstring link = L"http://" + std::wstring(300, L'a');
    Click(link, 0, static_cast<LONG>(link.size()));
    Click(L"http://a/", 5, 2);  // an empty range
    EXPECT_TRUE(started_.empty());
}

}  // namespace
