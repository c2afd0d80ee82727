#include "signin/app_state.h"

#include <commctrl.h>

#include "platform/alert.h"

namespace ui {
namespace {
HINSTANCE moduleInstance = nullptr;
}  // namespace

session::Session& TheSession() {
    // Built on first use, so no other static initialiser can see it half
    // made; destroyed with the other statics at exit.
    static session::Session theSession;
    return theSession;
}

HINSTANCE ModuleInstance() {
    return moduleInstance ? moduleInstance : GetModuleHandleW(nullptr);
}

void SetModuleInstance(HINSTANCE instance) {
    moduleInstance = instance;
}

void AlertIfUnreachable(session::Status status, session::AlertedOperation operation) {
    if (status == session::Status::ConnectFailed) platform::ShowErrorAlert(session::ConnectFailureText(operation));
}

void InitialiseCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
}

}  // namespace ui
