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

// Four fifths of an 800-pixel-wide screen, three quarters of any other,
// centred (integer arithmetic, truncating).
Bounds MainWindowBounds(int screenWidth, int screenHeight);

// The panes inside a main window client area of the given size.
Bounds FolderTreeBounds(int clientWidth, int clientHeight);
Bounds StatusLabelBounds(int clientWidth, int clientHeight);
Bounds NoticePaneBounds(int clientWidth, int clientHeight);
// The message list sits 30 pixels lower than the notice pane: the strip
// above it holds the list's header controls.
Bounds MessageListBounds(int clientWidth, int clientHeight);

}  // namespace app
