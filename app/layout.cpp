#include "app/layout.h"

namespace app {

Bounds MainWindowBounds(int screenWidth, int screenHeight) {
    Bounds bounds{};
    if (screenWidth == 800) {
        bounds.width = screenWidth * 4 / 5;
        bounds.height = screenHeight * 4 / 5;
    } else {
        bounds.width = screenWidth * 3 / 4;
        bounds.height = screenHeight * 3 / 4;
    }
    bounds.x = (screenWidth - bounds.width) / 2;
    bounds.y = (screenHeight - bounds.height) / 2;
    return bounds;
}

Bounds FolderTreeBounds(int, int clientHeight) {
    return Bounds{3, 25, kTreePaneWidth - 5, clientHeight - 50};
}

Bounds StatusLabelBounds(int, int clientHeight) {
    return Bounds{10, clientHeight - 20, 260, 15};
}

Bounds NoticePaneBounds(int clientWidth, int clientHeight) {
    return Bounds{kTreePaneWidth + 2, 25, clientWidth - kTreePaneWidth - 7, clientHeight - 50};
}

Bounds MessageListBounds(int clientWidth, int clientHeight) {
    return Bounds{kTreePaneWidth + 2, 55, clientWidth - kTreePaneWidth - 7, clientHeight - 80};
}

}  // namespace app
