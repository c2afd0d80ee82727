// Main of the Windows-side test programs: the module instance and common
// controls as the program's entry procedure sets them up, and strict seams
// so that nothing modal can ever block a test.
#include <gtest/gtest.h>

#include "signin/app_state.h"
#include "ui_recorders.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    ui::SetModuleInstance(GetModuleHandleW(nullptr));
    ui::InitialiseCommonControls();
    wintest::InstallStrictSeams();
    return RUN_ALL_TESTS();
}
