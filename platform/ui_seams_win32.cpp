#include "platform/ui_seams.h"

#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <mutex>
#include <vector>

#include "platform/text.h"

namespace ui {
namespace {

// One lock for the three hooks: they are set rarely and read once per call.
std::mutex hookMutex;

struct Hooks {
    MessageHook message;
    FileDialogHook fileDialog;
    BrowserHook browser;
};

Hooks& TheHooks() {
    static Hooks hooks;
    return hooks;
}

template <typename Hook>
Hook Swap(Hook Hooks::*member, Hook hook) {
    std::lock_guard<std::mutex> lock(hookMutex);
    Hook previous = std::move(TheHooks().*member);
    TheHooks().*member = std::move(hook);
    return previous;
}

template <typename Hook>
Hook Current(Hook Hooks::*member) {
    std::lock_guard<std::mutex> lock(hookMutex);
    return TheHooks().*member;
}

// The picker needs COM on this thread; it is set up for the call when the
// thread has none yet.
std::optional<std::wstring> SystemFolderPicker(const FileDialogRequest& request) {
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BROWSEINFOW browse{};
    browse.hwndOwner = request.owner;
    browse.lpszTitle = request.proposedName.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    std::optional<std::wstring> chosen;
    if (PIDLIST_ABSOLUTE folder = SHBrowseForFolderW(&browse)) {
        std::vector<wchar_t> path(32768, L'\0');
        if (SHGetPathFromIDListEx(folder, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT))
            chosen = std::wstring(path.data());
        CoTaskMemFree(folder);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return chosen;
}

std::optional<std::wstring> SystemFileDialog(const FileDialogRequest& request) {
    if (request.kind == FileDialogKind::Folder) return SystemFolderPicker(request);
    // The filter is a list of zero-terminated pairs ended by an empty text.
    static const wchar_t kFilter[] = L"All Files\0*.*\0";
    // Several chosen files come as the folder and each name, every one
    // ended by a zero, the list by a second one: room for many of them.
    const bool several = (request.flags & OFN_ALLOWMULTISELECT) != 0;
    std::vector<wchar_t> name(several ? kMultipleFileNamesCapacity : kFileNameCapacity, L'\0');
    std::wstring proposed = platform::CutWide(request.proposedName, kFileNameCapacity - 1);
    proposed.copy(name.data(), proposed.size());

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = request.owner;
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = request.filterIndex;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.Flags = request.flags;
    BOOL chosen = request.kind == FileDialogKind::Open ? GetOpenFileNameW(&dialog) : GetSaveFileNameW(&dialog);
    if (!chosen) return std::nullopt;
    name.back() = L'\0';
    if (!several) return std::wstring(name.data());
    std::size_t length = 0;
    while (length + 1 < name.size() && (name[length] != L'\0' || name[length + 1] != L'\0')) ++length;
    return std::wstring(name.data(), length);
}

}  // namespace

MessageHook SetMessageHook(MessageHook hook) {
    return Swap(&Hooks::message, std::move(hook));
}

int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) {
    if (MessageHook hook = Current(&Hooks::message)) return hook(MessageRequest{owner, text, caption, flags});
    return MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

FileDialogHook SetFileDialogHook(FileDialogHook hook) {
    return Swap(&Hooks::fileDialog, std::move(hook));
}

std::optional<std::wstring> AskFileName(const FileDialogRequest& request) {
    if (FileDialogHook hook = Current(&Hooks::fileDialog)) return hook(request);
    return SystemFileDialog(request);
}

BrowserHook SetBrowserHook(BrowserHook hook) {
    return Swap(&Hooks::browser, std::move(hook));
}

void OpenWebPage(HWND owner, const std::string& address) {
    if (BrowserHook hook = Current(&Hooks::browser)) {
        hook(owner, address);
        return;
    }
    ShellExecuteA(owner, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace ui
