#include "app/layout.h"

#include <algorithm>

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

namespace {
// Where the panes end above the status line.
int PanesBottom(int clientHeight) {
    return clientHeight - kStatusHeight - 8;
}
}  // namespace

Bounds FolderTreeBounds(int, int clientHeight) {
    return Bounds{3, 25, kTreePaneWidth - 5, PanesBottom(clientHeight) - 25};
}

// Wide enough for "已用 1023.9 MB (各文件夹邮件之和)" in the dialog font.
constexpr int kSpaceLabelWidth = 210;

Bounds StatusLabelBounds(int clientWidth, int clientHeight) {
    return Bounds{10, clientHeight - kStatusHeight - 4, clientWidth - 30 - kSpaceLabelWidth, kStatusHeight};
}

Bounds SpaceLabelBounds(int clientWidth, int clientHeight) {
    return Bounds{clientWidth - 10 - kSpaceLabelWidth, clientHeight - kStatusHeight - 4, kSpaceLabelWidth,
                  kStatusHeight};
}

Bounds TransferWindowBounds(const Bounds& mainWindow, const Bounds& workArea) {
    constexpr int kWidth = 790, kHeight = 250, kFromLeft = 120, kFromBottom = 260;
    Bounds b{mainWindow.x + kFromLeft, mainWindow.y + mainWindow.height - kFromBottom, kWidth, kHeight};
    b.width = std::min(b.width, workArea.width);
    b.height = std::min(b.height, workArea.height);
    b.x = std::max(workArea.x, std::min(b.x, workArea.x + workArea.width - b.width));
    b.y = std::max(workArea.y, std::min(b.y, workArea.y + workArea.height - b.height));
    return b;
}

Bounds NoticePaneBounds(int clientWidth, int clientHeight) {
    return Bounds{kTreePaneWidth + 2, 25, clientWidth - kTreePaneWidth - 7, PanesBottom(clientHeight) - 25};
}

Bounds MessageListBounds(int clientWidth, int clientHeight) {
    return Bounds{kTreePaneWidth + 2, 55, clientWidth - kTreePaneWidth - 7, PanesBottom(clientHeight) - 55};
}

CaptionBounds CaptionLayout(int clientWidth) {
    CaptionBounds b{};
    b.title = {10, 8, 130, 15};
    for (int i = 0; i < 5; ++i) b.menus[i] = {150 + 50 * i, 8, 50, 15};
    b.close = {clientWidth - 25, 8, 12, 15};
    b.maximise = {clientWidth - 45, 8, 12, 15};
    b.minimise = {clientWidth - 65, 8, 12, 15};
    return b;
}

ListHeaderBounds ListHeaderLayout(int clientWidth) {
    const int w = clientWidth;
    ListHeaderBounds b{};
    b.nextPage = {w - 55, 33, 40, 20};
    b.previousPage = {w - 100, 33, 40, 20};
    b.searchCaption = {w - 145, 33, 40, 18};
    // The search box gives way first on a narrow window; the title keeps room.
    const int searchWidth = std::clamp((w - kTreePaneWidth) / 4, 100, 180);
    b.searchBox = {b.searchCaption.x - 5 - searchWidth, 30, searchWidth, 20};
    const int titleLeft = kTreePaneWidth + 7;
    b.title = {titleLeft, 33, std::max(0, b.searchBox.x - 10 - titleLeft), 18};
    return b;
}

}  // namespace app
