#include "mainwindow/status_label.h"

#include <memory>

#include "mainwindow/app_messages.h"
#include "mainwindow/ui_globals.h"

namespace mainwindow {

void SetStatusText(const std::wstring& text) {
    if (!statusLabel) return;
    if (GetWindowThreadProcessId(statusLabel, nullptr) == GetCurrentThreadId()) {
        SetWindowTextW(statusLabel, text.c_str());
        return;
    }
    auto posted = std::make_unique<std::wstring>(text);
    if (PostMessageW(mainWindow, kStatusTextMessage, 0, reinterpret_cast<LPARAM>(posted.get()))) posted.release();
}

void OnStatusText(LPARAM posted) {
    std::unique_ptr<std::wstring> text(reinterpret_cast<std::wstring*>(posted));
    if (text && statusLabel) SetWindowTextW(statusLabel, text->c_str());
}

}  // namespace mainwindow
