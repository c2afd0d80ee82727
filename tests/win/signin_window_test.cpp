// The sign-in window in-process: what the store puts into it, the notices,
// a sign-in against the provider, and a provider that stalls.
#include "signin/signin_window.h"
#include "app/app.h"
#include "app/texts.h"
#include "platform/text.h"
#include "session/cells.h"
#include "signin/saved_accounts.h"
#include "win_support.h"

namespace {

using wintest::TextOf;

class SignInWindow : public ::testing::Test {
protected:
    void TearDown() override {
        if (IsWindow(window_) && DestroyWindow(window_)) wintest::QuitPosted();
    }
    void Open() {
        window_ = signin::CreateSignInWindow(app::ModuleInstance(), [this](auto a) { account_ = a; });
        ASSERT_TRUE(window_);
    }
    const signin::SignInControls& C() const { return signin::CurrentSignInControls(); }
    static bool Checked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    static bool ReadOnly(HWND edit) { return (GetWindowLongW(edit, GWL_STYLE) & ES_READONLY) != 0; }
    void SignIn(const wchar_t* account, const wchar_t* password) {
        SetWindowTextW(C().accountBox, account);
        SetWindowTextW(C().passwordBox, password);
        SendMessageW(C().passwordBox, WM_CHAR, VK_RETURN, 1);
    }

    wintest::RegistryScratch scratch_;
    HWND window_ = nullptr;
    std::shared_ptr<app::SignedInAccount> account_;
};

TEST_F(SignInWindow, OffersTheStoreTellsWhatWentWrongAndSignsIn) {
    signin::SaveAccount("pass-a", "a@163.example", {true, false});
    Open();
    wchar_t first[64] = {};
    SendMessageW(C().accountBox, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_EQ(std::wstring(first), L"a@163.example") << "the last account, with its password and the options";
    EXPECT_EQ(TextOf(C().passwordBox), L"pass-a");
    EXPECT_TRUE(Checked(C().rememberBox));
    EXPECT_FALSE(Checked(C().secureBox));

    wintest::Seams seams;
    SignIn(L"user@gmail.example", L"secret");
    ASSERT_EQ(seams.boxes.size(), 1u);
    EXPECT_EQ(seams.boxes[0].text, platform::Utf8ToWide(app::UnsupportedDomainText()));
    EXPECT_EQ(seams.boxes[0].caption, L"提示");
    EXPECT_EQ(seams.boxes[0].owner, window_);
    SignIn(L"imaps://me@127.0.0.1", L"secret");  // an IMAP account without its port
    ASSERT_EQ(seams.boxes.size(), 2u);
    EXPECT_EQ(seams.boxes[1].text, seams.boxes[0].text) << "the same notice, which shows the IMAP form";
    seams.boxes.pop_back();
    SignIn(L"a@163.example", L"not-the-password");
    EXPECT_TRUE(ReadOnly(C().passwordBox)) << "read-only while the provider answers";
    ASSERT_TRUE(wintest::PumpUntil([&] { return seams.boxes.size() == 2; }));
    EXPECT_EQ(seams.boxes[1].text, platform::Utf8ToWide(app::kWrongPasswordText));
    EXPECT_FALSE(ReadOnly(C().passwordBox));
    EXPECT_EQ(GetFocus(), C().passwordBox);
    EXPECT_EQ(TextOf(C().passwordBox), L"pass-a") << "emptied, and the focus brings the saved password back";

    // A provider that cannot be reached is not a wrong password; the password stays.
    std::string provider = std::getenv("VANTLO_PROVIDER");
    _putenv("VANTLO_PROVIDER=127.0.0.1:1");
    SignIn(L"a@163.example", L"typed-pass");
    ASSERT_TRUE(wintest::PumpUntil([&] { return seams.boxes.size() == 3; }));
    _putenv(("VANTLO_PROVIDER=" + provider).c_str());
    EXPECT_EQ(seams.boxes[2].text, platform::Utf8ToWide(std::string("登录失败: ") + app::kUnreachableText));
    EXPECT_EQ(TextOf(C().passwordBox), L"typed-pass");

    SignIn(L"DEMO@163.EXAMPLE", L"vantlo-demo");
    ASSERT_TRUE(wintest::PumpUntil([&] { return account_ != nullptr; }));
    EXPECT_EQ(account_->kind, app::AccountKind::Webmail);
    std::vector<catalog::FolderInfo> folders;
    ASSERT_TRUE(account_->store->ListFolders(folders).Ok()) << "the mailbox signed in";
    EXPECT_FALSE(folders.empty());
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_TRUE(wintest::QuitPosted()) << "its loop ends";
    EXPECT_TRUE(signin::SignInSucceeded());
    std::vector<std::string> names;
    char password[signin::kPasswordOutCapacity] = {};
    signin::LoadSavedAccounts(names, password);
    EXPECT_EQ(names, (std::vector<std::string>{"DEMO@163.EXAMPLE", "a@163.example"}));
    EXPECT_STREQ(password, "vantlo-demo");
}

// Typing starts in the account box; Tab walks the inputs, Shift+Tab back;
// Space on an option ticks it and types nothing into the password.
TEST_F(SignInWindow, TheKeyboardWalksTheInputsInOrder) {
    Open();
    EXPECT_TRUE(GetFocus() == C().accountBox || GetFocus() == C().accountEdit);
    auto press = [](WPARAM key, bool shift) {
        EXPECT_TRUE(wintest::PressKey(signin::TranslateSignInKey, GetFocus(), key, shift ? VK_SHIFT : 0));
    };
    for (HWND next : {C().passwordBox, C().rememberBox, C().secureBox, C().signInButton}) {
        press(VK_TAB, false);
        EXPECT_EQ(GetFocus(), next);
    }
    press(VK_TAB, true);
    press(VK_TAB, true);
    EXPECT_EQ(GetFocus(), C().rememberBox) << "Shift+Tab goes back";
    SetWindowTextW(C().passwordBox, L"pw");  // the focus there brought the saved one
    bool before = Checked(C().rememberBox);
    press(VK_SPACE, false);
    EXPECT_NE(Checked(C().rememberBox), before);
    EXPECT_EQ(TextOf(C().passwordBox), L"pw") << "Space went nowhere else";
}

// All of this runs while the provider holds its answer: a window that
// waited for it would come back only once the exchange gave up, with a
// failure box that no test expects.
TEST_F(SignInWindow, StaysResponsiveAndClosesWhileTheProviderStalls) {
    wintest::StallServer stall;
    std::string provider = std::getenv("VANTLO_PROVIDER");
    _putenv(("VANTLO_PROVIDER=" + stall.HostPort()).c_str());
    Open();
    SignIn(L"demo@163.example", L"vantlo-demo");
    EXPECT_TRUE(wintest::PumpUntil([&] { return stall.ConnectionWaiting(); }));
    EXPECT_TRUE(ReadOnly(C().accountEdit)) << "the inputs wait with the sign-in";
    RECT before{}, after{};
    GetWindowRect(window_, &before);
    SetWindowPos(window_, nullptr, before.left + 30, before.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    GetWindowRect(window_, &after);
    EXPECT_EQ(after.left, before.left + 30);
    SendMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window_));
    EXPECT_TRUE(wintest::QuitPosted());
    _putenv(("VANTLO_PROVIDER=" + provider).c_str());
}

}  // namespace
