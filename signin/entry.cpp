// The program's entry procedure: the sign-in window with its own loop, then
// the one message loop of the main window until it quits.
#include <windows.h>

#include "signin/app_state.h"
#include "signin/signin_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    ui::SetModuleInstance(instance);
    ui::InitialiseCommonControls();
    if (signin::RunSignInWindow(instance) == 1) return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
