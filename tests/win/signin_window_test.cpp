// The sign-in window as the user sees it: its frame and controls, what it
// shows from the saved accounts, the keys, the menus and dragging. Nothing
// here signs in (see signin_flow_test.cpp).
#include <gtest/gtest.h>

#include <windowsx.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "screenshot.h"
#include "session/provider_directory.h"
#include "signin/saved_accounts.h"
#include "signin/signin_menus.h"
#include "signin_fixture.h"
#include "ui_recorders.h"

using signin::SignInControls;
using wintest::PumpMessages;
using wintest::TextOf;

namespace {

const char kOptionsKey[] = "SOFTWARE\\Vantlo";
const char kAccountKey[] = "SOFTWARE\\Vantlo\\UserList";

bool SameClass(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::vector<std::wstring> ComboItems(HWND combo) {
    std::vector<std::wstring> items;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::vector<wchar_t> text(static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        items.emplace_back(text.data());
    }
    return items;
}

bool Checked(HWND box) {
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Click(HWND window, HWND label) {
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(0, STN_CLICKED), reinterpret_cast<LPARAM>(label));
}

// A user picks item `index` in the drop-down list: the list selects it and
// tells the combo box, as a click in the list would.
void ChooseFromList(HWND combo, int index) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(combo, &info));
    SendMessageW(info.hwndList, LB_SETCURSEL, index, 0);
    SendMessageW(combo, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(info.hwndList), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(info.hwndList));
}

void Remember(const std::string& account, const std::string& password) {
    signin::SaveAccount(password, account, signin::SignInOptions{true, true});
}

}  // namespace

// ---- Frame and controls --------------------------------------------------

TEST_F(SignInWindowTest, ControlsAreMadeAsTheTableSays) {
    Open();
    const SignInControls& c = C();
    struct Expected {
        const char* name;
        HWND SignInControls::*slot;
        const wchar_t* className;
        const wchar_t* text;
        bool inGroup;
        int x, y, width, height;
        DWORD style;
        DWORD exStyle;
        int id;
    };
    const Expected table[] = {
        {"title label", &SignInControls::titleLabel, L"Static", L"Vantlo v1.1.11", false, 10, 8, 130, 15, 0, 0, 0},
        {"file label", &SignInControls::fileLabel, L"Static", L"文件(&F)", false, 200, 8, 45, 15, SS_NOTIFY, 0, 0},
        {"help label", &SignInControls::helpLabel, L"Static", L"帮助(&H)", false, 248, 8, 45, 15, SS_NOTIFY, 0, 0},
        {"close label", &SignInControls::closeLabel, L"Static", L"X", false, 318, 8, 12, 15, SS_NOTIFY, 0, 0},
        {"group box", &SignInControls::groupBox, L"Button", L"登陆", false, 7, 25, 325, 70, BS_GROUPBOX, 0, 0},
        {"account caption", &SignInControls::accountCaption, L"Static", L"帐号:", true, 10, 19, 40, 12, 0, 0, 0},
        {"password caption", &SignInControls::passwordCaption, L"Static", L"密码:", true, 10, 44, 40, 12, 0, 0, 0},
        // The combo box hands WS_VSCROLL on to its drop-down list (below).
        {"account box", &SignInControls::accountBox, L"ComboBox", L"", true, 50, 15, 110, -1,
         CBS_DROPDOWN | CBS_AUTOHSCROLL, 0, 0},
        {"password box", &SignInControls::passwordBox, L"Edit", L"", true, 50, 40, 110, 20,
         ES_PASSWORD | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 0},
        {"remember box", &SignInControls::rememberBox, L"Button", L"记住密码", true, 170, 15, 70, 20, BS_AUTOCHECKBOX,
         0, 4000},
        {"secure box", &SignInControls::secureBox, L"Button", L"增强安全", true, 245, 15, 70, 20, BS_AUTOCHECKBOX, 0,
         4000},
        {"sign-in button", &SignInControls::signInButton, L"Button", L"登陆", true, 170, 38, 48, 25, 0, 0, 0},
        {"settings button", &SignInControls::settingsButton, L"Button", L"设置", true, 220, 38, 48, 25, WS_DISABLED, 0,
         0},
        {"advanced button", &SignInControls::advancedButton, L"Button", L"高级", true, 270, 38, 48, 25, WS_DISABLED, 0,
         0},
    };
    HGDIOBJ guiFont = GetStockObject(DEFAULT_GUI_FONT);
    for (const Expected& e : table) {
        SCOPED_TRACE(e.name);
        HWND control = c.*e.slot;
        ASSERT_TRUE(IsWindow(control));
        EXPECT_TRUE(SameClass(wintest::ClassOf(control), e.className))
            << platform::WideToUtf8(wintest::ClassOf(control));
        EXPECT_EQ(TextOf(control), e.text);
        EXPECT_EQ(GetParent(control), e.inGroup ? c.groupBox : c.window);
        RECT rect = wintest::RectInParent(control);
        EXPECT_EQ(rect.left, e.x);
        EXPECT_EQ(rect.top, e.y);
        EXPECT_EQ(rect.right - rect.left, e.width);
        if (e.height >= 0) {
            EXPECT_EQ(rect.bottom - rect.top, e.height);
        }
        DWORD style = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
        EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(style & 0xFFFF, e.style & 0xFFFF) << std::hex << style;
        EXPECT_EQ(style & (WS_DISABLED | WS_VSCROLL), e.style & (WS_DISABLED | WS_VSCROLL)) << std::hex << style;
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(control, GWL_EXSTYLE)) & WS_EX_CLIENTEDGE, e.exStyle);
        EXPECT_EQ(GetDlgCtrlID(control), e.id);
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)), guiFont);
    }
    // The account box takes any length.
    ASSERT_TRUE(IsWindow(c.accountEdit));
    EXPECT_EQ(GetParent(c.accountEdit), c.accountBox);
    EXPECT_EQ(static_cast<LRESULT>(SendMessageW(c.accountEdit, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFE);
    EXPECT_EQ(static_cast<LRESULT>(SendMessageW(c.passwordBox, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFE);
}

TEST_F(SignInWindowTest, AccountListDropsToOneHundredTwentyPixelsAndScrolls) {
    Open();
    HWND box = C().accountBox;
    for (int i = 0; i < 20; ++i) {
        std::wstring name = L"account" + std::to_wstring(i) + L"@163.example";
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    SendMessageW(box, CB_SHOWDROPDOWN, TRUE, 0);
    PumpMessages(50);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(box, &info));
    ASSERT_TRUE(IsWindowVisible(info.hwndList));
    RECT boxRect{}, listRect{};
    GetWindowRect(box, &boxRect);
    GetWindowRect(info.hwndList, &listRect);
    // Box and list together take the 120 pixels, less what does not make a
    // whole item (the list shows whole items only).
    int total = listRect.bottom - boxRect.top;
    int itemHeight = static_cast<int>(SendMessageW(box, CB_GETITEMHEIGHT, 0, 0));
    EXPECT_LE(total, 120);
    EXPECT_GT(total, 120 - itemHeight);
    EXPECT_EQ(listRect.right - listRect.left, 110);
    EXPECT_TRUE(wintest::HasStyle(info.hwndList, WS_VSCROLL)) << "twenty accounts need a scroll bar";
    SendMessageW(box, CB_SHOWDROPDOWN, FALSE, 0);
}

TEST_F(SignInWindowTest, WindowIsATopmostBorderlessPopUpInTheMiddleOfTheScreen) {
    HWND window = Open();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(wintest::ClassOf(window), L"lgwcls");
    EXPECT_EQ(TextOf(window), L"Vantlo");
    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    DWORD wanted = WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX;
    EXPECT_EQ(style & (wanted | WS_CAPTION | WS_THICKFRAME | WS_BORDER), wanted) << std::hex << style;
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);

    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, 340);
    EXPECT_EQ(rect.bottom - rect.top, 105);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 340) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 105) / 2);

    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(GetWindowRgn(window, region), ERROR) << "the window has a rounded region";
    EXPECT_FALSE(PtInRegion(region, 0, 0)) << "the corner is cut off";
    EXPECT_TRUE(PtInRegion(region, 170, 0));
    EXPECT_TRUE(PtInRegion(region, 0, 52));
    DeleteObject(region);

    EXPECT_EQ(GetPropA(window, "MutexVantloWindow"), reinterpret_cast<HANDLE>(1));
    EXPECT_FALSE(IsWindowEnabled(C().settingsButton));
    EXPECT_FALSE(IsWindowEnabled(C().advancedButton));
    EXPECT_TRUE(IsWindowEnabled(C().signInButton));
}

TEST_F(SignInWindowTest, ClassHasTheProgramsIconArrowAndBackground) {
    Open();
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExW(ui::ModuleInstance(), L"lgwcls", &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS));
    EXPECT_NE(info.hIcon, nullptr) << "icon resource 101";
    EXPECT_EQ(info.hCursor, LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(info.lpszMenuName, nullptr);
    LOGBRUSH brush{};
    ASSERT_EQ(GetObjectW(info.hbrBackground, sizeof brush, &brush), static_cast<int>(sizeof brush));
    EXPECT_EQ(brush.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(brush.lbColor, RGB(242, 242, 238));
}

TEST_F(SignInWindowTest, IconHasBothSizesInTwoHundredFiftySixColours) {
    for (int size : {32, 16}) {
        HICON icon =
            static_cast<HICON>(LoadImageW(ui::ModuleInstance(), MAKEINTRESOURCEW(101), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        EXPECT_EQ(bitmap.bmHeight, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    // The directory of the icon resource names 8 bits per pixel for both.
    HRSRC group = FindResourceW(ui::ModuleInstance(), MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(ui::ModuleInstance(), group)));
    ASSERT_NE(dir, nullptr);
    ASSERT_EQ(dir[4] | (dir[5] << 8), 2);  // image count
    for (int i = 0; i < 2; ++i) {
        const BYTE* entry = dir + 6 + 14 * i;
        EXPECT_EQ(entry[0], i == 0 ? 32 : 16);
        EXPECT_EQ(entry[6] | (entry[7] << 8), 8) << "bits per pixel";
    }
}

TEST_F(SignInWindowTest, PaintsItsDoubleBlackOutlineAndBackground) {
    HWND window = Open();
    PumpMessages(200);
    RECT rect{};
    GetWindowRect(window, &rect);
    const int W = 340, H = 105;
    HDC screen = GetDC(nullptr);
    auto at = [&](int x, int y) { return GetPixel(screen, rect.left + x, rect.top + y); };
    struct Probe {
        const char* where;
        int x, y;
        COLORREF colour;
    };
    const Probe probes[] = {
        {"outer top", W / 2, 0, RGB(0, 0, 0)},        {"inner top", W / 2, 2, RGB(0, 0, 0)},
        {"gap top", W / 2, 1, RGB(242, 242, 238)},    {"outer left", 0, H / 2, RGB(0, 0, 0)},
        {"inner left", 2, H / 2, RGB(0, 0, 0)},       {"gap left", 1, H / 2, RGB(242, 242, 238)},
        {"outer bottom", W / 2, H - 2, RGB(0, 0, 0)}, {"inner bottom", W / 2, H - 4, RGB(0, 0, 0)},
        {"outer right", W - 2, H / 2, RGB(0, 0, 0)},  {"inner right", W - 4, H / 2, RGB(0, 0, 0)},
        {"background", 5, H / 2, RGB(242, 242, 238)},
    };
    for (const Probe& probe : probes) EXPECT_EQ(at(probe.x, probe.y), probe.colour) << probe.where;
    ReleaseDC(nullptr, screen);
}

TEST_F(SignInWindowTest, ScreenshotShowsTheWindow) {
    Remember("demo@163.example", "vantlo-demo");
    Open();
    std::string error;
    EXPECT_TRUE(wintest::TakeScreenshot("signin-window", error)) << error;
}

// ---- What it shows from the saved accounts ------------------------------

TEST_F(SignInWindowTest, CleanMachineShowsAnEmptyAccountBoxAndTheDefaultOptions) {
    Open();
    EXPECT_EQ(SendMessageW(C().accountBox, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(TextOf(C().accountBox), L"");
    EXPECT_EQ(TextOf(C().passwordBox), L"");
    EXPECT_FALSE(Checked(C().rememberBox));
    EXPECT_TRUE(Checked(C().secureBox));
}

TEST_F(SignInWindowTest, AccountKeyWithoutAccountsShowsOneEmptyItem) {
    Remember("only@163.example", "pw");
    signin::ForgetAccount("only@163.example");
    Open();
    EXPECT_EQ(ComboItems(C().accountBox), (std::vector<std::wstring>{L""}));
    EXPECT_EQ(SendMessageW(C().accountBox, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(TextOf(C().passwordBox), L"");
}

TEST_F(SignInWindowTest, LastAccountComesFirstSelectedWithItsPassword) {
    Remember("a@163.example", "pass-a");
    signin::SaveAccount("pass-b", "b@126.example", signin::SignInOptions{true, false});
    Open();
    EXPECT_EQ(ComboItems(C().accountBox), (std::vector<std::wstring>{L"b@126.example", L"a@163.example"}));
    EXPECT_EQ(SendMessageW(C().accountBox, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(TextOf(C().accountBox), L"b@126.example");
    EXPECT_EQ(TextOf(C().passwordBox), L"pass-b");
    EXPECT_TRUE(Checked(C().rememberBox));
    EXPECT_FALSE(Checked(C().secureBox));
}

TEST_F(SignInWindowTest, ChoosingAnAccountFromTheListShowsItsPassword) {
    Remember("a@163.example", "pass-a");
    Remember("b@126.example", "pass-b");
    wintest::WriteRawText(HKEY_CURRENT_USER, kAccountKey, "nopass@yeah.example", std::string(64, 'x'));
    Open();
    std::vector<std::wstring> items = ComboItems(C().accountBox);
    ASSERT_EQ(items.size(), 2u) << "the account with an unreadable password is not offered";
    ChooseFromList(C().accountBox, 1);
    EXPECT_EQ(TextOf(C().passwordBox), L"pass-a");
    ChooseFromList(C().accountBox, 0);
    EXPECT_EQ(TextOf(C().passwordBox), L"pass-b");
}

TEST_F(SignInWindowTest, ChoosingAnAccountWithoutPasswordEmptiesThePasswordBox) {
    wintest::WriteRawText(HKEY_CURRENT_USER, kAccountKey, "", "last@163.example");
    wintest::WriteRawText(HKEY_CURRENT_USER, kAccountKey, "last@163.example", "last-pass");
    Open();
    SendMessageW(C().accountBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"typed@163.example"));
    EXPECT_EQ(TextOf(C().passwordBox), L"last-pass");
    ChooseFromList(C().accountBox, 1);
    EXPECT_EQ(TextOf(C().passwordBox), L"");
}

// ---- Keys and focus -------------------------------------------------------

TEST_F(SignInWindowTest, PasswordBoxTakesTheSavedPasswordWhenItGetsTheFocus) {
    Remember("a@163.example", "pass-a");
    Open();
    const SignInControls& c = C();
    SetFocus(c.accountEdit);
    SetWindowTextW(c.accountBox, L"");
    wintest::TypeText(c.accountEdit, L"a@163.example");
    SetWindowTextW(c.passwordBox, L"typed");
    SetFocus(c.passwordBox);
    EXPECT_EQ(TextOf(c.passwordBox), L"pass-a");

    // Leaving and coming back replaces what was typed.
    SetWindowTextW(c.passwordBox, L"typed again");
    SetFocus(c.accountEdit);
    SetFocus(c.passwordBox);
    EXPECT_EQ(TextOf(c.passwordBox), L"pass-a");

    // An account without a saved password empties the box.
    SetFocus(c.accountEdit);
    SetWindowTextW(c.accountBox, L"");
    wintest::TypeText(c.accountEdit, L"new@126.example");
    SetWindowTextW(c.passwordBox, L"typed");
    SetFocus(c.passwordBox);
    EXPECT_EQ(TextOf(c.passwordBox), L"");
}

TEST_F(SignInWindowTest, TabInTheAccountBoxMovesToThePasswordBox) {
    Open();
    SetFocus(C().accountEdit);
    ASSERT_EQ(GetFocus(), C().accountEdit);
    wintest::PressTab(C().accountEdit);
    EXPECT_EQ(GetFocus(), C().passwordBox);
}

TEST_F(SignInWindowTest, EnterInTheAccountBoxKeepsATypedAccountAndMovesOn) {
    Remember("saved@163.example", "pass");
    Open();
    const SignInControls& c = C();
    SetFocus(c.accountEdit);
    SetWindowTextW(c.accountBox, L"");
    wintest::TypeText(c.accountEdit, L"typed@126.example");
    wintest::PressEnter(c.accountEdit);
    EXPECT_EQ(TextOf(c.accountBox), L"typed@126.example");
    EXPECT_EQ(GetFocus(), c.passwordBox);
}

TEST_F(SignInWindowTest, EnterInTheAccountBoxKeepsTheChosenAccount) {
    Remember("a@163.example", "pass-a");
    Remember("b@126.example", "pass-b");
    Open();
    const SignInControls& c = C();
    SendMessageW(c.accountBox, CB_SETCURSEL, 1, 0);
    SetFocus(c.accountEdit);
    wintest::PressEnter(c.accountEdit);
    EXPECT_EQ(SendMessageW(c.accountBox, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(TextOf(c.accountBox), L"a@163.example");
    EXPECT_EQ(GetFocus(), c.passwordBox);
    EXPECT_EQ(TextOf(c.passwordBox), L"pass-a");
}

TEST_F(SignInWindowTest, CheckBoxesChangeNothingStoredUntilASignIn) {
    Open();
    SendMessageW(C().rememberBox, BM_CLICK, 0, 0);
    SendMessageW(C().secureBox, BM_CLICK, 0, 0);
    EXPECT_TRUE(Checked(C().rememberBox));
    EXPECT_FALSE(Checked(C().secureBox));
    EXPECT_FALSE(wintest::KeyExists(HKEY_CURRENT_USER, kOptionsKey));
}

// ---- Caption labels, menus, closing ---------------------------------------

namespace {

struct MenuSeen {
    bool seen = false;
    std::vector<std::pair<UINT, std::wstring>> items;
    RECT rect{};
};
MenuSeen menuSeen;

// Runs inside the menu's own loop: reads the open popup menu, then ends it.
VOID CALLBACK InspectOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND popup = FindWindowW(L"#32768", nullptr);
    if (!popup || !IsWindowVisible(popup)) return;  // not open yet
    KillTimer(nullptr, timer);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        menuSeen.items.emplace_back(GetMenuItemID(menu, i), text);
    }
    GetWindowRect(popup, &menuSeen.rect);
    menuSeen.seen = true;
    EndMenu();
}

// Clicks a caption label and reads the menu it opens. A watchdog ends a
// menu that the inspection could not reach, so the test cannot hang.
MenuSeen OpenLabelMenu(HWND window, HWND label, HWND owner) {
    menuSeen = MenuSeen{};
    UINT_PTR timer = SetTimer(nullptr, 0, 50, InspectOpenMenu);
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 100 && !done; ++i) Sleep(50);
        if (!done) PostMessageW(owner, WM_CANCELMODE, 0, 0);
    });
    Click(window, label);
    done = true;
    watchdog.join();
    KillTimer(nullptr, timer);
    return menuSeen;
}

POINT BottomLeftOnScreen(HWND label) {
    RECT client{};
    GetClientRect(label, &client);
    POINT corner{client.left, client.bottom};
    ClientToScreen(label, &corner);
    return corner;
}

}  // namespace

TEST_F(SignInWindowTest, FileLabelOpensTheExitMenuBelowIt) {
    HWND window = Open();
    MenuSeen seen = OpenLabelMenu(window, C().fileLabel, C().helpLabel);
    ASSERT_TRUE(seen.seen) << "no menu opened";
    EXPECT_EQ(seen.items, (std::vector<std::pair<UINT, std::wstring>>{{17, L"退出(&X)"}}));
    POINT corner = BottomLeftOnScreen(C().fileLabel);
    EXPECT_EQ(seen.rect.left, corner.x);
    EXPECT_EQ(seen.rect.top, corner.y);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(SignInWindowTest, HelpLabelOpensAboutAndForum) {
    HWND window = Open();
    MenuSeen seen = OpenLabelMenu(window, C().helpLabel, C().helpLabel);
    ASSERT_TRUE(seen.seen) << "no menu opened";
    EXPECT_EQ(seen.items, (std::vector<std::pair<UINT, std::wstring>>{{33, L"关于(&A)"}, {34, L"论坛(&C)"}}));
    POINT corner = BottomLeftOnScreen(C().helpLabel);
    EXPECT_EQ(seen.rect.left, corner.x);
    EXPECT_EQ(seen.rect.top, corner.y);
}

TEST_F(SignInWindowTest, ForumCommandOpensTheForumPage) {
    HWND window = Open();
    wintest::BrowserRecorder browser;
    SendMessageW(C().helpLabel, WM_COMMAND, MAKEWPARAM(signin::kForumCommand, 0), 0);
    ASSERT_EQ(browser.Pages().size(), 1u);
    EXPECT_EQ(browser.Pages()[0].address, session::kForumPage);
    EXPECT_EQ(browser.Pages()[0].owner, window);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(SignInWindowTest, AboutCommandDoesNothing) {
    HWND window = Open();
    SendMessageW(C().helpLabel, WM_COMMAND, MAKEWPARAM(signin::kAboutCommand, 0), 0);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(PumpMessages(50).quit);
}

TEST_F(SignInWindowTest, ExitCommandDestroysTheWindowAndEndsTheLoop) {
    HWND window = Open();
    SendMessageW(C().helpLabel, WM_COMMAND, MAKEWPARAM(signin::kExitCommand, 0), 0);
    EXPECT_FALSE(IsWindow(window));
    wintest::PumpResult pumped = PumpMessages(0);
    EXPECT_TRUE(pumped.quit);
    EXPECT_EQ(pumped.exitCode, 0);
}

TEST_F(SignInWindowTest, CloseLabelEndsTheLoopWithResultOne) {
    HWND window = Open();
    Click(window, C().closeLabel);
    EXPECT_TRUE(IsWindow(window)) << "the close label leaves the window to the process's end";
    EXPECT_EQ(signin::RunSignInLoop(), 1);
    EXPECT_FALSE(signin::SignInSucceeded());
}

TEST_F(SignInWindowTest, CloseRequestDestroysTheWindowAndTheLoopReturnsOne) {
    HWND window = Open();
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(signin::RunSignInLoop(), 1);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(SignInWindowTest, DisabledButtonsCannotBeClicked) {
    HWND window = Open();
    SendMessageW(C().settingsButton, BM_CLICK, 0, 0);
    SendMessageW(C().advancedButton, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsWindowEnabled(C().settingsButton));
    EXPECT_FALSE(PumpMessages(50).quit);
}

// ---- Dragging -------------------------------------------------------------

TEST_F(SignInWindowTest, DraggingTheClientAreaMovesTheWindow) {
    HWND window = Open();
    RECT before{};
    GetWindowRect(window, &before);
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 10));
    EXPECT_EQ(GetCapture(), window);
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 30));
    RECT after{};
    GetWindowRect(window, &after);
    EXPECT_EQ(after.left - before.left, 50);
    EXPECT_EQ(after.top - before.top, 20);
    EXPECT_EQ(after.right - after.left, 340) << "moved, not resized";

    // A position left of the window arrives as a negative coordinate.
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<WORD>(-20), 10));
    RECT left{};
    GetWindowRect(window, &left);
    EXPECT_EQ(left.left - after.left, -120);
    EXPECT_EQ(left.top - after.top, 0);

    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(80, 10));
    EXPECT_NE(GetCapture(), window);
    RECT released{};
    GetWindowRect(window, &released);
    SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(200, 50));
    RECT still{};
    GetWindowRect(window, &still);
    EXPECT_EQ(still.left, released.left) << "no move without the button held";
}
