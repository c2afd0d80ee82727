#include "app/ui_thread.h"

#include <windows.h>

#include <atomic>
#include <memory>

namespace app {

namespace {
constexpr wchar_t kMailboxClass[] = L"VantloUiTasks";
constexpr UINT kRunTask = WM_APP + 0x51;

std::atomic<HWND> mailbox{nullptr};

LRESULT CALLBACK MailboxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunTask) {
        std::unique_ptr<Task> task(reinterpret_cast<Task*>(lParam));
        if (task && *task) (*task)();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
}  // namespace

bool PrepareUiThread() {
    if (mailbox.load()) return true;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MailboxProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kMailboxClass;
    RegisterClassW(&windowClass);  // fails harmlessly when already registered
    HWND made = CreateWindowExW(0, kMailboxClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!made) return false;
    mailbox = made;
    return true;
}

bool PostToUiThread(Task task) {
    HWND target = mailbox.load();
    if (!target || !task) return false;
    auto owned = std::make_unique<Task>(std::move(task));
    if (!PostMessageW(target, kRunTask, 0, reinterpret_cast<LPARAM>(owned.get()))) return false;
    owned.release();  // the mailbox frees it after running it
    return true;
}

}  // namespace app
