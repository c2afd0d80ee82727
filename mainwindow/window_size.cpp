#include "mainwindow/window_size.h"

namespace mainwindow {

WindowPlacement MainWindowPlacement(int screenWidth, int screenHeight) {
    WindowPlacement placement{};
    if (screenWidth == 800) {
        placement.width = screenWidth * 4 / 5;
        placement.height = screenHeight * 4 / 5;
    } else {
        placement.width = screenWidth * 3 / 4;
        placement.height = screenHeight * 3 / 4;
    }
    placement.x = (screenWidth - placement.width) / 2;
    placement.y = (screenHeight - placement.height) / 2;
    return placement;
}

}  // namespace mainwindow
