#include "messagelist/ui_thread_post.h"

#include <windows.h>

#include <atomic>
#include <memory>

namespace messagelist {

namespace {
constexpr wchar_t kMailboxClass[] = L"VantloTransferMailbox";
constexpr UINT kRunTask = WM_APP + 0x51;

std::atomic<HWND> mailbox{nullptr};
std::atomic<DWORD> mailboxThread{0};

LRESULT CALLBACK MailboxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunTask) {
        std::unique_ptr<UiTask> task(reinterpret_cast<UiTask*>(lParam));
        if (task && *task) (*task)();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
}  // namespace

bool PrepareUiThreadMailbox() {
    if (mailbox.load()) return true;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MailboxProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kMailboxClass;
    RegisterClassW(&windowClass);  // fails harmlessly when already registered
    HWND made = CreateWindowExW(0, kMailboxClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!made) return false;
    mailboxThread = GetCurrentThreadId();
    mailbox = made;
    return true;
}

bool PostToUiThread(UiTask task) {
    HWND target = mailbox.load();
    if (!target || !task) return false;
    auto owned = std::make_unique<UiTask>(std::move(task));
    if (!PostMessageW(target, kRunTask, 0, reinterpret_cast<LPARAM>(owned.get()))) return false;
    owned.release();  // the mailbox frees it after running it
    return true;
}

bool OnUiThread() {
    return mailbox.load() && GetCurrentThreadId() == mailboxThread.load();
}

}  // namespace messagelist
