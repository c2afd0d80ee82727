// The main window after a real sign-in: frame, caption, status, notice
// pane, tray icon, dragging and closing.
#include <gtest/gtest.h>

#include <richedit.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "live_main_window.h"
#include "mainwindow/caption_controls.h"
#include "mainwindow/folder_tree.h"
#include "mainwindow/main_window.h"
#include "mainwindow/notice_pane.h"
#include "mainwindow/status_label.h"
#include "mainwindow/tray_icon.h"
#include "mainwindow/ui_globals.h"
#include "mainwindow/window_size.h"
#include "messagelist/message_list.h"
#include "platform/text.h"
#include "screenshot.h"
#include "session/provider_directory.h"
#include "signin/ui_colours.h"
#include "ui_driver.h"
#include "ui_recorders.h"

namespace {

using wintest::LiveMainWindow;

void ExpectRect(HWND window, int x, int y, int width, int height) {
    RECT rect = wintest::RectInParent(window);
    EXPECT_EQ(rect.left, x) << wintest::TextOf(window).size();
    EXPECT_EQ(rect.top, y);
    EXPECT_EQ(rect.right - rect.left, width);
    EXPECT_EQ(rect.bottom - rect.top, height);
}

// The rich edit 1.0 control is an ANSI window: under Wine its text length
// counts characters while the text travels as bytes, so read with room.
std::wstring PaneText(HWND pane) {
    std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(pane)) * 4 + 16, L'\0');
    GetWindowTextW(pane, text.data(), static_cast<int>(text.size()));
    return text.data();
}

RECT Client(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return client;
}

TEST_F(LiveMainWindow, IsABorderlessPopupCentredOnTheScreen) {
    EXPECT_EQ(wintest::ClassOf(Main()), L"mwndclass");
    EXPECT_EQ(wintest::TextOf(Main()), L"Vantlo");
    DWORD style = static_cast<DWORD>(GetWindowLongW(Main(), GWL_STYLE));
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX),
              DWORD(WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), 0u);
    EXPECT_EQ(GetPropA(Main(), "MutexVantloWindow"), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(mainwindow::treePaneWidth, 200);

    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    mainwindow::WindowPlacement expected = mainwindow::MainWindowPlacement(screenWidth, screenHeight);
    RECT rect{};
    GetWindowRect(Main(), &rect);
    EXPECT_EQ(rect.left, expected.x);
    EXPECT_EQ(rect.top, expected.y);
    EXPECT_EQ(rect.right - rect.left, expected.width);
    EXPECT_EQ(rect.bottom - rect.top, expected.height);
    if (screenWidth == 1024 && screenHeight == 768) {  // the harness's screen
        EXPECT_EQ(rect.left, 128);
        EXPECT_EQ(rect.top, 96);
        EXPECT_EQ(rect.right - rect.left, 768);
        EXPECT_EQ(rect.bottom - rect.top, 576);
    }
    // The rounded region over the client area: its corners are cut off.
    HRGN current = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(Main(), current), ERROR);
    RECT box{};
    GetRgnBox(current, &box);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_GE(box.right, expected.width - 1);
    EXPECT_GE(box.bottom, expected.height - 1);
    EXPECT_TRUE(PtInRegion(current, expected.width / 2, expected.height / 2));
    EXPECT_TRUE(PtInRegion(current, 6, 1));
    EXPECT_FALSE(PtInRegion(current, 0, 0));
    EXPECT_FALSE(PtInRegion(current, expected.width - 1, expected.height - 1));
    EXPECT_FALSE(PtInRegion(current, 0, expected.height - 1));
    DeleteObject(current);
}

TEST_F(LiveMainWindow, CarriesItsCaptionAndTheStatusLabel) {
    const int r = Client(Main()).right, b = Client(Main()).bottom;
    const mainwindow::CaptionControls& c = mainwindow::caption;
    struct Label {
        HWND window;
        const wchar_t* text;
        bool notify;
        int x, y, width, height;
    } labels[] = {
        {c.title, L"Vantlo v1.1.11", false, 10, 8, 130, 15},
        {c.menuLabels[0], L"文件(&F)", true, 150, 8, 50, 15},
        {c.menuLabels[1], L"编辑(&E)", true, 200, 8, 50, 15},
        {c.menuLabels[2], L"视图(&V)", true, 250, 8, 50, 15},
        {c.menuLabels[3], L"工具(&T)", true, 300, 8, 50, 15},
        {c.help, L"帮助(&H)", true, 350, 8, 50, 15},
        {c.minimise, L"-", true, r - 45, 8, 12, 15},
        {c.close, L"X", true, r - 25, 8, 12, 15},
        {mainwindow::statusLabel, L"准备就绪", false, 10, b - 20, 260, 15},
    };
    HFONT guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    for (const Label& label : labels) {
        ASSERT_TRUE(IsWindow(label.window)) << platform::WideToUtf8(label.text);
        EXPECT_EQ(GetParent(label.window), Main());
        EXPECT_EQ(wintest::ClassOf(label.window), L"Static");
        EXPECT_EQ(wintest::TextOf(label.window), label.text);
        EXPECT_EQ(wintest::HasStyle(label.window, SS_NOTIFY), label.notify) << platform::WideToUtf8(label.text);
        ExpectRect(label.window, label.x, label.y, label.width, label.height);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(label.window, WM_GETFONT, 0, 0)), guiFont);
    }
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(c.help, GWLP_WNDPROC)), &mainwindow::HelpLabelProc);
}

TEST_F(LiveMainWindow, TheHelpMenuOpensTheForumPage) {
    mainwindow::Menu menu = mainwindow::BuildHelpMenu();
    ASSERT_EQ(GetMenuItemCount(menu.Get()), 1);
    wchar_t text[64] = {};
    GetMenuStringW(menu.Get(), 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"论坛(&C)");
    EXPECT_EQ(GetMenuItemID(menu.Get(), 0), 81u);

    wintest::BrowserRecorder browser;
    SendMessageW(mainwindow::caption.help, WM_COMMAND, mainwindow::IDM_FORUM, 0);
    ASSERT_EQ(browser.Pages().size(), 1u);
    EXPECT_EQ(browser.Pages()[0].address, session::kForumPage);
    EXPECT_EQ(browser.Pages()[0].owner, Main());
    // The four other menu labels do nothing.
    for (HWND label : mainwindow::caption.menuLabels)
        SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(0, STN_CLICKED), reinterpret_cast<LPARAM>(label));
    EXPECT_EQ(browser.Pages().size(), 1u);
    EXPECT_TRUE(IsWindowVisible(Main()));
}

TEST_F(LiveMainWindow, ColoursItsStaticsAndThePageCaptionsInBlue) {
    HDC dc = GetDC(Main());
    SetTextColor(dc, RGB(1, 2, 3));
    LRESULT brush = SendMessageW(Main(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(mainwindow::statusLabel));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), ui::BackgroundBrush());
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(GetBkColor(dc), RGB(242, 242, 238));
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));

    // The page captions exist once a folder is open.
    HTREEITEM inbox = FolderItem(L"收件箱");
    ASSERT_NE(inbox, nullptr);
    Select(inbox);
    TreeNotify(NM_DBLCLK);
    ASSERT_NE(messagelist::nextPageCaption, nullptr);
    for (HWND caption : {messagelist::prevPageCaption, messagelist::nextPageCaption}) {
        SetTextColor(dc, RGB(1, 2, 3));
        SendMessageW(Main(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(caption));
        EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 238));
    }
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageW(Main(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(messagelist::searchCaption));
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    ReleaseDC(Main(), dc);
}

TEST_F(LiveMainWindow, ShowsTheNoticeUntilAFolderIsOpened) {
    HWND pane = mainwindow::noticePane;
    ASSERT_TRUE(IsWindow(pane));
    EXPECT_EQ(wintest::ClassOf(pane), L"RICHEDIT");  // RICHED32.DLL's class
    const int r = Client(Main()).right, b = Client(Main()).bottom;
    ExpectRect(pane, 202, 25, r - 207, b - 50);
    EXPECT_EQ(SendMessageW(pane, EM_GETEVENTMASK, 0, 0), ENM_LINK | ENM_MOUSEEVENTS | ENM_KEYEVENTS | ENM_SCROLLEVENTS);

    // The fetch runs on its own thread; its text arrives through the queue.
    ASSERT_TRUE(PumpUntil([&] { return PaneText(pane) != mainwindow::kNoticePlaceholder; }))
        << "the notice never arrived";
    std::wstring notice = PaneText(pane);
    EXPECT_EQ(notice.find(L"\xFEFF"), std::wstring::npos);
    EXPECT_EQ(notice.rfind(L"欢迎使用 Vantlo", 0), 0u) << platform::WideToUtf8(notice);  // nothing was lost
    std::wstring link = L"http://" + platform::Utf8ToWide(wintest::ProviderAddress()) + L"/pubinfo/Vantlo";
    EXPECT_NE(notice.find(link), std::wstring::npos);
    std::string error;
    EXPECT_TRUE(wintest::TakeScreenshot("main-window-notice", error)) << error;

    HTREEITEM inbox = FolderItem(L"收件箱");
    ASSERT_NE(inbox, nullptr);
    Select(inbox);
    TreeNotify(NM_DBLCLK);
    EXPECT_EQ(mainwindow::noticePane, nullptr);
    EXPECT_FALSE(IsWindow(pane));
    ASSERT_TRUE(IsWindow(messagelist::messageListWindow));
}

TEST_F(LiveMainWindow, PlacesItsPanesWhenResized) {
    SetWindowPos(Main(), nullptr, 0, 0, 900, 650, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(Client(Main()).right, 900);
    ExpectRect(mainwindow::folderTree, 3, 25, 195, 600);
    ExpectRect(mainwindow::statusLabel, 10, 630, 260, 15);
    ExpectRect(mainwindow::noticePane, 202, 25, 693, 600);

    HTREEITEM inbox = FolderItem(L"收件箱");
    ASSERT_NE(inbox, nullptr);
    Select(inbox);
    TreeNotify(NM_DBLCLK);
    RECT search = wintest::RectInParent(messagelist::searchBox);
    SetWindowPos(Main(), nullptr, 0, 0, 1000, 700, SWP_NOMOVE | SWP_NOZORDER);
    ExpectRect(messagelist::messageListWindow, 202, 55, 793, 620);
    ExpectRect(mainwindow::folderTree, 3, 25, 195, 650);
    // The controls above the list stay where they were made.
    RECT after = wintest::RectInParent(messagelist::searchBox);
    EXPECT_EQ(after.left, search.left);
    EXPECT_EQ(after.top, search.top);
}

TEST_F(LiveMainWindow, IsDraggedByItsClientArea) {
    RECT before{};
    GetWindowRect(Main(), &before);
    SendMessageW(Main(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 10));
    EXPECT_EQ(GetCapture(), Main());
    SendMessageW(Main(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 30));
    SendMessageW(Main(), WM_LBUTTONUP, 0, MAKELPARAM(150, 30));
    EXPECT_NE(GetCapture(), Main());
    RECT after{};
    GetWindowRect(Main(), &after);
    EXPECT_EQ(after.left - before.left, 50);
    EXPECT_EQ(after.top - before.top, 20);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    // Negative client coordinates (left of the window) move it back.
    SendMessageW(Main(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 10));
    SendMessageW(Main(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-20, -30));  // 16-bit signed in lParam
    SendMessageW(Main(), WM_LBUTTONUP, 0, 0);
    RECT back{};
    GetWindowRect(Main(), &back);
    EXPECT_EQ(back.left - after.left, -120);
    EXPECT_EQ(back.top - after.top, -40);
    // Without the button held nothing moves.
    SendMessageW(Main(), WM_MOUSEMOVE, 0, MAKELPARAM(300, 300));
    RECT still{};
    GetWindowRect(Main(), &still);
    EXPECT_EQ(still.left, back.left);
}

// Stands in for the notification area: keeps the icons it holds and, like
// the shell, refuses a second icon of the same window and identifier.
class TrayRecorder {
public:
    TrayRecorder() {
        mainwindow::SetNotifyIconCall([this](DWORD action, NOTIFYICONDATAW* record) {
            calls.push_back(action);
            auto key = std::make_pair(record->hWnd, record->uID);
            if (action == NIM_ADD) {
                EXPECT_EQ(record->cbSize, sizeof(NOTIFYICONDATAW));
                EXPECT_EQ(record->uCallbackMessage, mainwindow::WM_TRAYICON);
                EXPECT_EQ(record->uID, 101u);
                EXPECT_EQ(record->uFlags, UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP));
                EXPECT_STREQ(record->szTip, L"Vantlo");
                EXPECT_NE(record->hIcon, nullptr);
                return icons.insert(key).second ? TRUE : FALSE;
            }
            if (action == NIM_DELETE) return icons.erase(key) ? TRUE : FALSE;
            return FALSE;
        });
    }
    std::set<std::pair<HWND, UINT>> icons;
    std::vector<DWORD> calls;
};

TEST_F(LiveMainWindow, MinimisedTwiceRestoredTwiceLeavesOneTrayIcon) {
    TrayRecorder tray;
    // By the minimise label.
    SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(0, STN_CLICKED),
                 reinterpret_cast<LPARAM>(mainwindow::caption.minimise));
    EXPECT_FALSE(IsWindowVisible(Main()));
    EXPECT_EQ(tray.icons.size(), 1u);
    SendMessageW(Main(), mainwindow::WM_TRAYICON, 101, WM_LBUTTONDOWN);  // a single click does nothing
    EXPECT_FALSE(IsWindowVisible(Main()));
    SendMessageW(Main(), mainwindow::WM_TRAYICON, 101, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(Main()));
    EXPECT_FALSE(IsIconic(Main()));
    EXPECT_EQ(tray.icons.size(), 1u);  // the icon stays
    // By the system.
    ShowWindow(Main(), SW_MINIMIZE);
    EXPECT_FALSE(IsWindowVisible(Main()));
    SendMessageW(Main(), mainwindow::WM_TRAYICON, 101, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(Main()));
    EXPECT_FALSE(IsIconic(Main()));
    // A double click while shown leaves it shown in its normal size.
    SendMessageW(Main(), mainwindow::WM_TRAYICON, 101, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(Main()));
    EXPECT_EQ(tray.icons.size(), 1u);
    EXPECT_EQ(std::count(tray.calls.begin(), tray.calls.end(), NIM_ADD), 1);

    // Closing removes the icon and ends the loop.
    HWND main = Main();
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(0, STN_CLICKED), reinterpret_cast<LPARAM>(mainwindow::caption.close));
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(tray.icons.empty());
    EXPECT_EQ(MainWindowHandle(), nullptr);
    wintest::PumpResult pumped = wintest::PumpMessages(0);
    EXPECT_TRUE(pumped.quit);
    EXPECT_EQ(pumped.exitCode, 0);
}

TEST_F(LiveMainWindow, WithoutANotificationAreaItStaysMinimised) {
    mainwindow::SetNotifyIconCall([](DWORD, NOTIFYICONDATAW*) { return FALSE; });
    SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(0, STN_CLICKED),
                 reinterpret_cast<LPARAM>(mainwindow::caption.minimise));
    EXPECT_FALSE(mainwindow::TrayIconShown());
    EXPECT_TRUE(IsIconic(Main()));  // not hidden: there would be no way back
    EXPECT_TRUE(IsWindowVisible(Main()));
    ShowWindow(Main(), SW_RESTORE);
}

TEST_F(LiveMainWindow, TheRealNotificationAreaTakesOneIcon) {
    ShowWindow(Main(), SW_MINIMIZE);
    ShowWindow(Main(), SW_RESTORE);
    ShowWindow(Main(), SW_MINIMIZE);
    EXPECT_TRUE(mainwindow::TrayIconShown());
    EXPECT_FALSE(IsWindowVisible(Main()));
    // The shell refuses a second icon of the window: there is only one.
    NOTIFYICONDATAW second = mainwindow::TrayIconRecord(Main());
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &second));
    NOTIFYICONDATAW icon = mainwindow::TrayIconRecord(Main());
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &icon));  // it is there
    SendMessageW(Main(), mainwindow::WM_TRAYICON, 101, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(Main()));
    SendMessageW(Main(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(mainwindow::TrayIconShown());
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &icon));  // and now it is gone
}

}  // namespace
