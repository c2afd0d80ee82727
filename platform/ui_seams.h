// Seams around the modal and outward-reaching parts of the user interface:
// message boxes, the open and save file dialogs, the folder picker, and opening a web page in
// the browser. The windows call these instead of the system directly, so a
// test can answer a message box, choose a file or catch a page that would be
// opened, and read what was asked, without anything modal blocking it.
//
// Each hook is process-wide. Installing an empty hook restores the system's
// own behaviour. Hooks may be called from any thread (the save dialog runs on
// the download worker); the setter and the callers are safe to use together.
#pragma once

#ifndef _WIN32
#error "ui_seams.h is for the Windows user interface only"
#endif

#include <windows.h>
// The OFN_* flags of the file dialogs (left out by WIN32_LEAN_AND_MEAN).
#include <commdlg.h>

#include <functional>
#include <optional>
#include <string>

namespace ui {

// ---- Message boxes -------------------------------------------------------

// A message box as the program asked for it. Texts are UTF-16.
struct MessageRequest {
    HWND owner = nullptr;
    std::wstring text;
    std::wstring caption;
    UINT flags = MB_OK;
};

// Returns the button the "user" pressed (IDOK, IDYES, ...).
using MessageHook = std::function<int(const MessageRequest&)>;

// Installs a hook and returns the one it replaces.
MessageHook SetMessageHook(MessageHook hook);

// Shows a message box (MessageBoxW) or hands it to the hook; returns the
// button pressed.
int ShowMessage(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);

// ---- File dialogs --------------------------------------------------------

// Folder: the shell's folder picker (SHBrowseForFolderW); proposedName is
// the line it shows above the folders, and the answer is a folder's path.
enum class FileDialogKind { Open, Save, Folder };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    HWND owner = nullptr;
    std::wstring proposedName;  // shown in the name field; may be empty
    DWORD flags = 0;            // OFN_* flags for the system dialog
    DWORD filterIndex = 1;      // the one filter is "All Files" (*.*)
};

// Returns the chosen path, or nothing when the dialog was cancelled.
using FileDialogHook = std::function<std::optional<std::wstring>(const FileDialogRequest&)>;

FileDialogHook SetFileDialogHook(FileDialogHook hook);

// The system dialog (GetOpenFileNameW / GetSaveFileNameW) with a buffer of
// 260 UTF-16 units, or the hook. A proposed name that does not fit the
// buffer is cut to 259 units, never inside a surrogate pair.
std::optional<std::wstring> AskFileName(const FileDialogRequest& request);

constexpr std::size_t kFileNameCapacity = 260;
// With OFN_ALLOWMULTISELECT (and OFN_EXPLORER) the answer holds the folder
// and then each chosen name, separated by zeros (one path alone when one
// file was chosen), within this many units.
constexpr std::size_t kMultipleFileNamesCapacity = 32768;

// ---- The browser ---------------------------------------------------------

// address: the page, in the ANSI code page as ShellExecuteA takes it.
using BrowserHook = std::function<void(HWND owner, const std::string& address)>;

BrowserHook SetBrowserHook(BrowserHook hook);

// Opens the page with the shell's "open" verb in a normal window
// (ShellExecuteA), or hands it to the hook. Failures change nothing.
void OpenWebPage(HWND owner, const std::string& address);

}  // namespace ui
