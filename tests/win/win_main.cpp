// Main of the Windows-side tests: the process as the entry procedure sets it
// up, and strict seams, so that nothing modal can block a test.
#include "app/app.h"
#include "win_support.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    app::InitialiseCommonControls();
    wintest::Seams::Strict();
    return RUN_ALL_TESTS();
}
