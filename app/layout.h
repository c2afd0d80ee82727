// Where the main window and its panes go: the rules both the main window and
// the message list follow, kept apart from the windows so they can be checked
// without one.
#pragma once

namespace app {

struct Bounds {
    int x;
    int y;
    int width;
    int height;
};

// Boundary between the folder tree pane and the right pane.
constexpr int kTreePaneWidth = 200;
// The status line has room for two lines: a long message wraps, never cut.
constexpr int kStatusHeight = 30;

// Four fifths of an 800-pixel-wide screen, three quarters of any other,
// centred (integer arithmetic, truncating).
Bounds MainWindowBounds(int screenWidth, int screenHeight);

// The panes inside a main window client area of the given size.
Bounds FolderTreeBounds(int clientWidth, int clientHeight);
// The status line, and at its right end the account's used space.
Bounds StatusLabelBounds(int clientWidth, int clientHeight);
Bounds SpaceLabelBounds(int clientWidth, int clientHeight);
Bounds NoticePaneBounds(int clientWidth, int clientHeight);
// The message list sits 30 pixels lower than the notice pane: the strip
// above it holds the list's header controls.
Bounds MessageListBounds(int clientWidth, int clientHeight);

// The strip above the list, right to left: the page links, the search
// caption and box; the folder's title takes what is left.
struct ListHeaderBounds {
    Bounds title, searchBox, searchCaption, previousPage, nextPage;
};
ListHeaderBounds ListHeaderLayout(int clientWidth);

// The labels of the main window's own caption, left to right: the title,
// the menus 文件 编辑 视图 工具 帮助, then minimise, maximise and close at the
// right edge.
struct CaptionBounds {
    Bounds title;
    Bounds menus[5];
    Bounds minimise, maximise, close;
};
CaptionBounds CaptionLayout(int clientWidth);

// The transfer window, over the lower part of the main window's file list
// (where the rows it covers are the least needed), and wholly inside the
// screen's work area however the main window sits or the screen is sized.
Bounds TransferWindowBounds(const Bounds& mainWindow, const Bounds& workArea);

// The smallest client area the panes fit in, side by side, nothing overlapping.
constexpr int kMinClientWidth = 720;
constexpr int kMinClientHeight = 400;

}  // namespace app
