// The main window's own caption: title, five menu labels, the minimise,
// maximise and close labels, and the status line along the bottom edge; all
// of them static text controls. The menus hold the commands they name.
#pragma once

#include <windows.h>

namespace mainwindow {

struct CaptionControls {
    HWND title = nullptr;
    HWND menuLabels[4] = {};  // 文件, 编辑, 视图, 工具
    HWND help = nullptr;
    HWND minimise = nullptr;
    HWND maximise = nullptr;
    HWND close = nullptr;
    HWND status = nullptr;
    HWND space = nullptr;  // the account's used space, right of the status
};

constexpr UINT IDM_FORUM = 81;
inline constexpr wchar_t kReadyText[] = L"准备就绪";

// WM_CREATE: creates the ten controls in a client area whose right edge is
// `right` and bottom edge `bottom`.
CaptionControls CreateCaptionControls(HWND window, int right, int bottom);
// Places them for a client area of that size.
void PlaceCaptionControls(const CaptionControls& caption, int right, int bottom);

// What a menu of the caption offers now; the frame fills it in.
struct CaptionMenuState {
    bool fileChosen = false;  // a row of the list is selected
    bool folderOpen = false;
    bool mailView = false;
    bool attachmentsOnly = false;
    bool driveMapped = false;
    bool driveBusy = false;  // being mapped or unmapped
};

// WM_COMMAND from a caption label (STN_CLICKED); false when the command was
// not one of theirs. A menu label opens its menu, whose command then comes
// to the window as WM_COMMAND with lParam 0.
bool OnCaptionCommand(HWND window, const CaptionControls& caption, const CaptionMenuState& state, WPARAM wParam,
                      LPARAM lParam);

// The command of the caption's menus that closes the program.
constexpr UINT IDM_EXIT = 82;
// 工具: the account as a network drive (a drive letter), and back.
constexpr UINT IDM_MAP_DRIVE = 83;
constexpr UINT IDM_UNMAP_DRIVE = 84;
// A caption menu's entry comes as this plus its command: the frame tells it
// from a child's WM_COMMAND passed up (the tree passes its own on).
constexpr UINT kCaptionMenuBase = 0x2000;

}  // namespace mainwindow
