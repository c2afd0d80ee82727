#include "mainwindow/window_placement.h"

namespace mainwindow {

namespace {
constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Vantlo";
constexpr wchar_t kPlacementValue[] = L"MainWindowPlacement";

// The saved bounds meet a monitor and are at least the smallest size:
// a screen unplugged since, or a value someone edited, leaves the default.
bool Usable(const WINDOWPLACEMENT& placement, int minWidth, int minHeight) {
    const RECT& r = placement.rcNormalPosition;
    if (r.right - r.left < minWidth || r.bottom - r.top < minHeight) return false;
    return MonitorFromRect(&r, MONITOR_DEFAULTTONULL) != nullptr;
}
}  // namespace

void SaveWindowPlacement(HWND window) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement)) return;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, kPlacementValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&placement), sizeof placement);
    RegCloseKey(key);
}

bool RestoreWindowPlacement(HWND window, int minWidth, int minHeight) {
    WINDOWPLACEMENT placement{};
    DWORD size = sizeof placement;
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, kPlacementValue, RRF_RT_REG_BINARY, &type, &placement, &size) !=
            ERROR_SUCCESS ||
        size != sizeof placement || placement.length != sizeof placement || !Usable(placement, minWidth, minHeight))
        return false;
    // A window minimised at the end opens restored: the tray holds no window at start.
    placement.showCmd = placement.showCmd == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    placement.flags = 0;
    return SetWindowPlacement(window, &placement) != FALSE;
}

}  // namespace mainwindow
