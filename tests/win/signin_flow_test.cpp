// Signing in through the real window against the real vantlo-provider that
// run-wine-test.sh started (VANTLO_PROVIDER). It serves demo@163.example,
// second@126.example and third@yeah.example.
#include <gtest/gtest.h>

#include <winsock2.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "mainwindow/main_window.h"
#include "platform/text.h"
#include "registry_scratch.h"
#include "session/cells.h"
#include "signin/saved_accounts.h"
#include "signin_fixture.h"
#include "ui_recorders.h"

using wintest::PumpMessages;
using wintest::TextOf;

namespace {

const char kOptionsKey[] = "SOFTWARE\\Vantlo";

const wchar_t kDomainNotice[] =
    L"不支持此邮件服务提供商或者格式不正确\r\n"
    L"您应输入如下格式: yourname@163.example\r\n"
    L"yourname@126.example\r\n"
    L"yourname@yeah.example";

enum class Via { Enter, Button };

class SignInFlow : public SignInWindowTest {
protected:
    void SetUp() override {
        if (wintest::ProviderAddress().empty()) FAIL() << "VANTLO_PROVIDER is not set: run through run-wine-test.sh";
    }

    // Types the account and password into the open window and signs in.
    void SignIn(const std::wstring& account, const std::wstring& password, Via via) {
        const signin::SignInControls& c = C();
        SetWindowTextW(c.accountBox, L"");
        wintest::TypeText(c.accountEdit, account);
        SetWindowTextW(c.passwordBox, L"");
        wintest::TypeText(c.passwordBox, password);
        if (via == Via::Enter)
            wintest::PressEnter(c.passwordBox);
        else
            SendMessageW(c.signInButton, BM_CLICK, 0, 0);
    }

    void SetRemember(bool remember) {
        SendMessageW(C().rememberBox, BM_SETCHECK, remember ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    // The window went away after a successful sign-in.
    void ExpectSignedIn(const char* account) {
        EXPECT_FALSE(IsWindow(window_));
        wintest::PumpResult pumped = PumpMessages(0);
        EXPECT_TRUE(pumped.quit) << "destroying the window ends its loop";
        EXPECT_TRUE(signin::SignInSucceeded());
        const session::Session& s = ui::TheSession();
        EXPECT_EQ(session::CellText(s.accountName), account);
        EXPECT_EQ(session::CellText(s.sid).size(), 32u);
        EXPECT_EQ(std::string(session::CellText(s.host)), wintest::ProviderAddress());
        EXPECT_NE(session::CellText(s.coremailCookie).find("Coremail="), std::string_view::npos);
        // The folder refresh timer runs: killing it succeeds exactly once.
        UINT_PTR timer = signin::FolderRefreshTimerId();
        EXPECT_NE(timer, 0u);
        EXPECT_TRUE(KillTimer(nullptr, timer));
        EXPECT_FALSE(KillTimer(nullptr, timer));
        // The main window (a placeholder for now) took over.
        HWND main = MainWindowHandle();
        ASSERT_TRUE(IsWindow(main));
        EXPECT_EQ(TextOf(main), L"Vantlo");
    }

    // The window stayed after a refused sign-in and says why.
    void ExpectRefused(const wintest::MessageRecorder& messages) {
        ASSERT_EQ(messages.Messages().size(), 1u);
        const ui::MessageRequest& m = messages.Messages()[0];
        EXPECT_EQ(m.caption, L"提示");
        EXPECT_EQ(m.text, L"密码不正确或用户不存在");
        EXPECT_EQ(m.owner, window_);
        EXPECT_EQ(m.flags, static_cast<UINT>(MB_OK));
        EXPECT_TRUE(IsWindowVisible(window_));
        EXPECT_EQ(TextOf(C().passwordBox), L"");
        EXPECT_EQ(GetFocus(), C().passwordBox);
        EXPECT_FALSE(ReadOnly(C().accountEdit));
        EXPECT_FALSE(ReadOnly(C().passwordBox));
        EXPECT_FALSE(signin::SignInSucceeded());
        EXPECT_EQ(MainWindowHandle(), nullptr);
    }
};

// A loopback port that nothing listens on.
std::string ClosedPort() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(s);
    return "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

}  // namespace

TEST_F(SignInFlow, UnsupportedOrMissingDomainsGetTheNotice) {
    struct Case {
        const wchar_t* account;
        Via via;
    };
    const Case cases[] = {
        {L"nobody", Via::Enter},
        {L"nobody@", Via::Enter},
        {L"user@gmail.example", Via::Enter},
        {L"user@163.example.org", Via::Button},
        {L"user@63.example", Via::Button},
        {L"", Via::Button},
    };
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::WideToUtf8(c.account));
        wintest::MessageRecorder messages;
        SignIn(c.account, L"some-pass", c.via);
        ASSERT_EQ(messages.Messages().size(), 1u);
        const ui::MessageRequest& m = messages.Messages()[0];
        EXPECT_EQ(m.caption, L"提示");
        EXPECT_EQ(m.text, kDomainNotice);
        EXPECT_EQ(m.owner, window_);
        EXPECT_EQ(m.flags, static_cast<UINT>(MB_OK));
        EXPECT_TRUE(IsWindowVisible(window_));
        EXPECT_EQ(TextOf(C().passwordBox), L"some-pass") << "left as typed";
        EXPECT_FALSE(ReadOnly(C().accountEdit));
        EXPECT_FALSE(ReadOnly(C().passwordBox));
        EXPECT_FALSE(signin::SignInSucceeded());
    }
}

TEST_F(SignInFlow, WrongPasswordEmptiesThePasswordBoxAndFocusesIt) {
    Open();
    wintest::MessageRecorder messages;
    SignIn(L"demo@163.example", L"not-the-password", Via::Enter);
    ExpectRefused(messages);
}

TEST_F(SignInFlow, UnknownAccountGetsTheSameNoticeThroughTheButton) {
    Open();
    wintest::MessageRecorder messages;
    SignIn(L"nobody@126.example", L"whatever", Via::Button);
    ExpectRefused(messages);
}

TEST_F(SignInFlow, UnreachableProviderGetsTheNoticeInBoundedTime) {
    Open();
    session::Session& s = ui::TheSession();
    s.providerOverride = ClosedPort();
    wintest::MessageRecorder messages;
    auto start = std::chrono::steady_clock::now();
    SignIn(L"demo@163.example", L"vantlo-demo", Via::Enter);
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    s.providerOverride.clear();
    ExpectRefused(messages);
    EXPECT_LT(seconds.count(), 30) << "a refused connection must not wait for the idle bound";
}

TEST_F(SignInFlow, EnterSignsInRemembersAndOpensTheMainWindow) {
    Open();
    SetRemember(true);
    SignIn(L"demo@163.example", L"vantlo-demo", Via::Enter);
    ExpectSignedIn("demo@163.example");

    std::vector<std::string> names;
    char password[signin::kPasswordOutCapacity] = {};
    EXPECT_EQ(signin::LoadSavedAccounts(names, password), signin::StoreStatus::Read);
    EXPECT_EQ(names, (std::vector<std::string>{"demo@163.example"}));
    EXPECT_STREQ(password, "vantlo-demo");
    EXPECT_TRUE(signin::ReadSignInOptions().remember);
}

TEST_F(SignInFlow, ButtonSignsInWithoutRememberingOnAFirstStart) {
    Open();
    SetRemember(false);
    SignIn(L"demo@163.example", L"vantlo-demo", Via::Button);
    ExpectSignedIn("demo@163.example");
    EXPECT_FALSE(wintest::KeyExists(HKEY_CURRENT_USER, kOptionsKey)) << "nothing stored without remembering";
}

TEST_F(SignInFlow, DomainsInCapitalsAreAcceptedForEveryEntry) {
    struct Case {
        const wchar_t* account;
        const wchar_t* password;
        const char* signedIn;
    };
    const Case cases[] = {
        {L"demo@163.EXAMPLE", L"vantlo-demo", "demo@163.example"},
        {L"second@126.Example", L"second-pass", "second@126.example"},
        {L"third@YEAH.EXAMPLE", L"third-pass", "third@yeah.example"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.signedIn);
        TearDown();
        Open();
        SignIn(c.account, c.password, Via::Enter);
        ExpectSignedIn(c.signedIn);
    }
}

TEST_F(SignInFlow, SavedAccountSignsInWithEnterAlone) {
    signin::SaveAccount("vantlo-demo", "demo@163.example", signin::SignInOptions{true, false});
    Open();
    EXPECT_EQ(TextOf(C().accountBox), L"demo@163.example");
    EXPECT_EQ(TextOf(C().passwordBox), L"vantlo-demo");
    EXPECT_FALSE(SendMessageW(C().secureBox, BM_GETCHECK, 0, 0) == BST_CHECKED);
    wintest::PressEnter(C().passwordBox);
    ExpectSignedIn("demo@163.example");
    signin::SignInOptions options = signin::ReadSignInOptions();
    EXPECT_TRUE(options.remember);
    EXPECT_FALSE(options.secure);
}

TEST_F(SignInFlow, UncheckingRememberForgetsTheAccountOnSuccess) {
    signin::SaveAccount("vantlo-demo", "demo@163.example", signin::SignInOptions{true, true});
    signin::SaveAccount("second-pass", "second@126.example", signin::SignInOptions{true, true});
    Open();
    SetRemember(false);
    SignIn(L"second@126.example", L"second-pass", Via::Enter);
    ExpectSignedIn("second@126.example");
    std::vector<std::string> names;
    char password[signin::kPasswordOutCapacity] = {};
    signin::LoadSavedAccounts(names, password);
    EXPECT_EQ(names, (std::vector<std::string>{"demo@163.example"}));
    EXPECT_STREQ(password, "vantlo-demo");
    EXPECT_FALSE(signin::ReadSignInOptions().remember);
}

TEST_F(SignInFlow, SignInLoopReturnsZeroAfterASuccessfulSignIn) {
    Open();
    const signin::SignInControls& c = C();
    for (wchar_t ch : std::wstring(L"demo@163.example")) PostMessageW(c.accountEdit, WM_CHAR, ch, 1);
    for (wchar_t ch : std::wstring(L"vantlo-demo")) PostMessageW(c.passwordBox, WM_CHAR, ch, 1);
    PostMessageW(c.passwordBox, WM_CHAR, L'\r', 1);
    EXPECT_EQ(signin::RunSignInLoop(), 0);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_TRUE(IsWindow(MainWindowHandle()));
}

TEST_F(SignInFlow, TriesAfterFailuresStillSucceed) {
    Open();
    {
        wintest::MessageRecorder messages;
        SignIn(L"demo@163.example", L"wrong", Via::Enter);
        SignIn(L"demo@gmail.example", L"vantlo-demo", Via::Button);
        ASSERT_EQ(messages.Messages().size(), 2u);
    }
    SignIn(L"demo@163.example", L"vantlo-demo", Via::Button);
    ExpectSignedIn("demo@163.example");
}
