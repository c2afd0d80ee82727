#include "mainwindow/window_size.h"

#include <gtest/gtest.h>

namespace {

TEST(MainWindowPlacement, FourFifthsOnAn800WideScreenThreeQuartersElsewhere) {
    struct Case {
        int screenWidth, screenHeight;
        int x, y, width, height;
    } cases[] = {
        {800, 600, 80, 60, 640, 480},     {1024, 768, 128, 96, 768, 576},
        {1280, 1024, 160, 128, 960, 768}, {800, 480, 80, 48, 640, 384},
        {801, 600, 100, 75, 600, 450},    {1366, 768, 171, 96, 1024, 576},  // 1366*3/4 = 1024.5
        {1023, 767, 128, 96, 767, 575},
    };
    for (const Case& c : cases) {
        mainwindow::WindowPlacement p = mainwindow::MainWindowPlacement(c.screenWidth, c.screenHeight);
        EXPECT_EQ(p.width, c.width) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(p.height, c.height) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(p.x, c.x) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(p.y, c.y) << c.screenWidth << "x" << c.screenHeight;
    }
}

}  // namespace
