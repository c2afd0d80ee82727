// Where the main window goes on a screen of a given size.
#pragma once

namespace mainwindow {

struct WindowPlacement {
    int x;
    int y;
    int width;
    int height;
};

// Four fifths of an 800-pixel-wide screen, three quarters of any other,
// centred (integer arithmetic, truncating).
WindowPlacement MainWindowPlacement(int screenWidth, int screenHeight);

}  // namespace mainwindow
