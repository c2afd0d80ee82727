#include "mainwindow/transfer_panel.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "app/layout.h"
#include "app/transfer_saved.h"
#include "app/transfer_texts.h"
#include "mailbox/cache_dir.h"
#include "mainwindow/tray_icon.h"
#include "platform/text.h"
#include "platform/ui_seams.h"

namespace mainwindow {

namespace {
constexpr wchar_t kPanelClass[] = L"VantloTransfers";
// The offer of what an earlier run left waits on a timer: the main window
// is made inside the sign-in window's loop, whose quit is already posted,
// and a message box opened there is closed at once by that quit. Timers
// come after the quit, in the program's own loop.
constexpr UINT_PTR kOfferTimer = 31;
constexpr UINT kOfferRetryMillis = 100;
constexpr UINT_PTR kKeepAboveSubclass = 31;
constexpr UINT_PTR kRaiseTimer = 32;
constexpr UINT kRaiseDelayMillis = 150;
void RaisePanel();
constexpr int kButtonHeight = 26, kButtonWidth = 100, kGap = 6;
enum : int { kPause = 1, kContinue, kCancel, kRetry, kClear, kShowInFolder, kList = 50 };
enum : UINT { kMenuShow = 1, kMenuTransfers, kMenuPause, kMenuContinue, kMenuQuit };
struct Column {
    const wchar_t* title;
    int width;
};
constexpr Column kColumns[] = {{L"方向", 44}, {L"名称", 220},    {L"大小", 80}, {L"进度", 52},
                               {L"速度", 86}, {L"剩余时间", 90}, {L"状态", 190}};
constexpr const wchar_t* kButtons[] = {L"暂停", L"继续", L"取消", L"重试", L"清除已完成", L"打开所在文件夹"};

void PlacePanel();

// The list and the tray's view of the desktop's transfers; one per run.
class TransferViews final : public app::DesktopView {
public:
    HWND main = nullptr;
    HWND panel = nullptr;
    HWND list = nullptr;
    std::shared_ptr<app::Desktop> desktop;
    std::size_t rowsShown = 0;
    std::size_t leftOver = 0;  // rows an earlier run left, until offered

    void TransfersChanged(const app::TransferQueue& queue) override {
        if (queue.Rows().size() > rowsShown && panel && !IsWindowVisible(panel)) {
            PlacePanel();
            ShowWindow(panel, SW_SHOWNOACTIVATE);
            SetWindowPos(panel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        Fill(queue);
        SetTrayTip(main, app::TrayTipText(queue.Rows()));
    }
    void TransfersLeftOver(std::size_t count) override {
        leftOver = count;
        if (panel) SetTimer(panel, kOfferTimer, USER_TIMER_MINIMUM, nullptr);
    }
    void TransfersEnded(const std::string& text, bool failed) override { ShowTrayBalloon(main, text, failed); }
    void FileFetchedToOpen(const std::filesystem::path& file) override {
        ShellExecuteW(main, L"open", file.wstring().c_str(), nullptr, file.parent_path().wstring().c_str(),
                      SW_SHOWNORMAL);
    }

    void Fill(const app::TransferQueue& queue);
    void Act(int command);
    void ShowInFolder();
};

TransferViews views;

std::wstring Wide(const std::string& text) {
    return platform::Utf8ToWide(text);
}

void SetCell(HWND list, int item, int column, const std::wstring& text) {
    wchar_t current[512] = L"";
    ListView_GetItemText(list, item, column, current, 512);
    if (text == current) return;  // unchanged cells are not redrawn: no flicker at every tick
    ListView_SetItemText(list, item, column, const_cast<wchar_t*>(text.c_str()));
}

void TransferViews::Fill(const app::TransferQueue& queue) {
    if (!list) return;
    const auto& rows = queue.Rows();
    const int count = static_cast<int>(rows.size());
    while (ListView_GetItemCount(list) > count) ListView_DeleteItem(list, ListView_GetItemCount(list) - 1);
    while (ListView_GetItemCount(list) < count) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = ListView_GetItemCount(list);
        item.pszText = const_cast<wchar_t*>(L"");
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    for (int i = 0; i < count; ++i) {
        const app::TransferRow& row = rows[static_cast<std::size_t>(i)];
        bool running = row.state == app::TransferState::Running;
        SetCell(list, i, 0, Wide(app::DirectionText(row.upload)));
        SetCell(list, i, 1, Wide(row.name));
        SetCell(list, i, 2, Wide(app::FormatSizeText(std::to_string(row.size))));
        SetCell(list, i, 3, Wide(app::PercentText(row.done, row.size)));
        SetCell(list, i, 4, running ? Wide(app::SpeedText(row.bytesPerSecond)) : L"");
        SetCell(list, i, 5, running ? Wide(app::TimeLeftText(row.size - row.done, row.bytesPerSecond)) : L"");
        SetCell(list, i, 6, Wide(app::StateText(row)));
    }
    rowsShown = rows.size();
}

// The command on every selected row (none selected: on every row).
void TransferViews::Act(int command) {
    if (!desktop || !list) return;
    if (command == kClear) return desktop->ClearFinishedTransfers();
    if (command == kShowInFolder) return ShowInFolder();
    const app::TransferAction actions[] = {app::TransferAction::Pause, app::TransferAction::Resume,
                                           app::TransferAction::Cancel, app::TransferAction::Retry};
    const app::TransferAction action = actions[command - kPause];
    std::vector<std::uint64_t> ids;
    const auto& rows = desktop->Transfers().Rows();
    bool anySelected = ListView_GetSelectedCount(list) > 0;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i)
        if (!anySelected || ListView_GetItemState(list, i, LVIS_SELECTED))
            ids.push_back(rows[static_cast<std::size_t>(i)].id);
    for (std::uint64_t id : ids) desktop->ActOnTransfer(id, action);
}

// "打开所在文件夹": Explorer with the selected finished download chosen.
void TransferViews::ShowInFolder() {
    int item = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    const auto& rows = desktop->Transfers().Rows();
    if (item < 0 || static_cast<std::size_t>(item) >= rows.size()) return;
    const app::TransferRow& row = rows[static_cast<std::size_t>(item)];
    if (row.upload || row.state != app::TransferState::Done) return;
    std::wstring arguments = L"/select,\"" + row.local.wstring() + L"\"";
    ShellExecuteW(main, L"open", L"explorer.exe", arguments.c_str(), nullptr, SW_SHOWNORMAL);
}

void PlaceChildren(HWND panel) {
    RECT client{};
    GetClientRect(panel, &client);
    const int buttonsTop = client.bottom - kButtonHeight - kGap;
    MoveWindow(views.list, 0, 0, client.right, buttonsTop - kGap, TRUE);
    int x = kGap;
    for (int id = kPause; id <= kShowInFolder; ++id, x += kButtonWidth + kGap)
        MoveWindow(GetDlgItem(panel, id), x, buttonsTop, kButtonWidth, kButtonHeight, TRUE);
}

void OnPanelCreate(HWND panel) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    views.list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0, 0, 0, panel,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kList)), instance, nullptr);
    ListView_SetExtendedListViewStyle(views.list, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(kColumns)); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(kColumns[i].title);
        column.cx = kColumns[i].width;
        SendMessageW(views.list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    for (int id = kPause; id <= kShowInFolder; ++id) {
        HWND button = CreateWindowExW(0, L"BUTTON", kButtons[id - kPause], WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0,
                                      0, panel, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
}

void OnOfferLeftOver(HWND panel) {
    // Still in a loop that is ending: asked again once it has.
    MSG quit;
    if (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) {
        SetTimer(panel, kOfferTimer, kOfferRetryMillis, nullptr);
        return;
    }
    KillTimer(panel, kOfferTimer);
    const std::size_t count = views.leftOver;
    views.leftOver = 0;
    if (!views.desktop || count == 0) return;
    ShowTransferPanel();
    // Over the list, in front: it comes while the main window is still being
    // put up, and must not hide behind it.
    int answer = ui::ShowMessage(views.panel, Wide(app::ResumeQuestionText(count)), L"继续传输",
                                 MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND | MB_TOPMOST);
    if (answer == IDYES && views.desktop) views.desktop->ContinueTransfers();
}

// The rows' menu: the same commands as the buttons.
void OnListMenu(HWND panel, LPARAM position) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    for (int id = kPause; id <= kShowInFolder; ++id)
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), kButtons[id - kPause]);
    POINT at{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    if (position == -1) GetCursorPos(&at);
    int command = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, panel, nullptr);
    DestroyMenu(menu);
    if (command) views.Act(command);
}

LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: OnPanelCreate(panel); return 0;
    case WM_SIZE: PlaceChildren(panel); return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) >= kPause && LOWORD(wParam) <= kShowInFolder)
            views.Act(LOWORD(wParam));
        return 0;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) == views.list) OnListMenu(panel, lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kOfferTimer) OnOfferLeftOver(panel);
        if (wParam == kRaiseTimer) {
            KillTimer(panel, kRaiseTimer);
            RaisePanel();
        }
        return 0;
    case WM_CLOSE: ShowWindow(panel, SW_HIDE); return 0;  // the list lives as long as the main window
    case WM_NCDESTROY: views.panel = views.list = nullptr; break;
    }
    return DefWindowProcW(panel, message, wParam, lParam);
}

void OnTrayMenu(HWND window) {
    HMENU menu = CreatePopupMenu();
    if (!menu || !views.desktop) return;
    bool paused = views.desktop->TransfersPaused();
    AppendMenuW(menu, MF_STRING, kMenuShow, L"显示主窗口");
    AppendMenuW(menu, MF_STRING, kMenuTransfers, L"传输列表");
    AppendMenuW(menu, MF_STRING, paused ? kMenuContinue : kMenuPause, paused ? L"继续传输" : L"暂停传输");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kMenuQuit, L"退出");
    POINT at{};
    GetCursorPos(&at);
    SetForegroundWindow(window);  // so the menu closes when the user clicks elsewhere
    UINT command =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, window, nullptr));
    DestroyMenu(menu);
    switch (command) {
    case kMenuShow: RestoreFromTray(window); break;
    case kMenuTransfers: ShowTransferPanel(); break;
    case kMenuPause: views.desktop->PauseTransfers(); break;
    case kMenuContinue: views.desktop->ContinueTransfers(); break;
    case kMenuQuit: PostMessageW(window, WM_CLOSE, 0, 0); break;
    }
}
app::Bounds BoundsOf(const RECT& r) {
    return app::Bounds{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Near the main window and wholly on the screen it is on.
void PlacePanel() {
    RECT frame{};
    GetWindowRect(views.main, &frame);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(views.main, MONITOR_DEFAULTTONEAREST), &monitor))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &monitor.rcWork, 0);
    app::Bounds at = app::TransferWindowBounds(BoundsOf(frame), BoundsOf(monitor.rcWork));
    MoveWindow(views.panel, at.x, at.y, at.width, at.height, FALSE);
}

// An owned window stays above its owner, and Windows keeps the list there.
// Wine without a window manager raises only the clicked main window on the
// screen while its own order still has the list on top, so a plain
// HWND_TOP changes nothing: the list stayed behind, but for the strip that
// stands out on its right, a blank rectangle. Made topmost and back, it is
// restacked for certain; on Windows that leaves it where it already was.
void RaisePanel() {
    if (!views.panel || !IsWindowVisible(views.panel) || !views.main || IsIconic(views.main)) return;
    constexpr UINT kOnlyOrder = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    SetWindowPos(views.panel, HWND_TOPMOST, 0, 0, 0, 0, kOnlyOrder);
    SetWindowPos(views.panel, HWND_NOTOPMOST, 0, 0, 0, 0, kOnlyOrder);
}

// The main window activated: the list is raised a moment later, once the
// click that activated it is done (the main window comes up at its end).
LRESULT CALLBACK MainWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE && views.panel)
        SetTimer(views.panel, kRaiseTimer, kRaiseDelayMillis, nullptr);
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, MainWindowHook, kKeepAboveSubclass);
    return DefSubclassProc(window, message, wParam, lParam);
}
}  // namespace

void AttachTransfers(HWND mainWindow, std::shared_ptr<app::Desktop> desktop) {
    if (!mainWindow || !desktop) return;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW panelClass{};
    panelClass.lpfnWndProc = PanelProc;
    panelClass.hInstance = instance;
    panelClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    panelClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    panelClass.lpszClassName = kPanelClass;
    RegisterClassW(&panelClass);
    views.main = mainWindow;
    views.desktop = desktop;
    views.rowsShown = 0;
    views.panel = CreateWindowExW(WS_EX_TOOLWINDOW, kPanelClass, L"传输列表", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0,
                                  mainWindow, nullptr, instance, nullptr);
    PlacePanel();
    SetWindowSubclass(mainWindow, MainWindowHook, kKeepAboveSubclass, 0);
    ShowTrayIcon(mainWindow);
    SetTrayMenuHandler(OnTrayMenu);
    desktop->AddView(views);
    desktop->KeepTransfersIn(app::SavedTransfersPath(mailbox::UserCacheDir(), desktop->AccountName()));
}

void DetachTransfers() {
    if (views.desktop) views.desktop->RemoveView(views);
    views.desktop.reset();
    SetTrayMenuHandler(nullptr);
    views.main = nullptr;
}

void ShowTransferPanel() {
    if (!views.panel) return;
    // Placed afresh by the main window as it is now; once shown, where the user put it.
    if (!IsWindowVisible(views.panel)) PlacePanel();
    ShowWindow(views.panel, SW_SHOWNORMAL);
    SetForegroundWindow(views.panel);
}

HWND TransferPanelWindow() {
    return views.panel;
}

bool MayCloseWithTransfers(HWND mainWindow) {
    if (!views.desktop) return true;
    std::size_t left = 0;
    for (const app::TransferRow& row : views.desktop->Transfers().Rows())
        left += row.state == app::TransferState::Waiting || row.state == app::TransferState::Running ? 1 : 0;
    if (left == 0) return true;
    return ui::ShowMessage(mainWindow, Wide(app::CloseQuestionText(left)), L"Vantlo", MB_YESNO | MB_ICONQUESTION) ==
           IDYES;
}

}  // namespace mainwindow
