#include "app/transfer_conflict_dialog.h"

#include <commctrl.h>

#include <mutex>

#include "platform/text.h"

namespace app {

namespace {
enum : int { kOverwrite = 100, kSkip, kKeepBoth };

std::mutex hookLock;
ConflictHook conflictHook;

ConflictAnswer AskWithDialog(HWND owner, const std::string& name) {
    const TASKDIALOG_BUTTON buttons[] = {{kOverwrite, L"覆盖"}, {kSkip, L"跳过"}, {kKeepBoth, L"保留两者"}};
    const std::wstring text = platform::Utf8ToWide(ConflictQuestionText(name));
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.dwCommonButtons = TDCBF_CANCEL_BUTTON;
    config.pszWindowTitle = L"文件已存在";
    config.pszMainIcon = TD_WARNING_ICON;
    config.pszContent = text.c_str();
    config.cButtons = ARRAYSIZE(buttons);
    config.pButtons = buttons;
    config.nDefaultButton = kKeepBoth;
    config.pszVerificationText = L"对所有文件";
    int pressed = IDCANCEL;
    BOOL forAll = FALSE;
    if (FAILED(TaskDialogIndirect(&config, &pressed, nullptr, &forAll))) pressed = IDCANCEL;
    switch (pressed) {
    case kOverwrite: return {ConflictChoice::Overwrite, forAll != FALSE};
    case kSkip: return {ConflictChoice::Skip, forAll != FALSE};
    case kKeepBoth: return {ConflictChoice::KeepBoth, forAll != FALSE};
    default: return {ConflictChoice::CancelAll, true};
    }
}
}  // namespace

ConflictHook SetConflictHook(ConflictHook hook) {
    std::lock_guard<std::mutex> guard(hookLock);
    std::swap(conflictHook, hook);
    return hook;
}

ConflictAsker ConflictDialog(HWND owner) {
    return [owner](const std::string& name) {
        ConflictHook hook;
        {
            std::lock_guard<std::mutex> guard(hookLock);
            hook = conflictHook;
        }
        return hook ? hook(name) : AskWithDialog(owner, name);
    };
}

}  // namespace app
