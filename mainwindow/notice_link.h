// Opening a link of the notice pane in the default browser, which is taken
// from the registry's "http\shell\open\command".
#pragma once

#include <windows.h>

#include <richedit.h>

#include <cstddef>
#include <functional>
#include <string>

namespace mainwindow {

// The link text and the command line each have 259 characters of room.
constexpr std::size_t kLinkChars = 259;

// The browser's path in a shell command value: the text between the leading
// quote and the next one, else the text before the first space, else all of
// it. The value's own arguments are dropped.
std::wstring BrowserPathFromCommand(const std::wstring& command);

// True when the link begins with "http://" in any letter case.
bool IsHttpLink(const std::wstring& link);

// "path link"; empty when the link is not an http:// link or the line would
// not fit its 259 characters (such a link is not opened rather than cut).
std::wstring BrowserCommandLine(const std::wstring& browserPath, const std::wstring& link);

// The default value of HKEY_CLASSES_ROOT\http\shell\open\command; empty when
// it is missing.
std::wstring ReadBrowserCommand();

// EN_LINK with WM_LBUTTONDOWN from the notice pane: selects the link, reads
// it and starts the browser with it.
void OpenNoticeLink(HWND noticePane, const ENLINK& link);

// Starts a command line; tests replace it so no browser starts.
using ProcessLauncher = std::function<bool(const std::wstring& commandLine)>;
void SetProcessLauncher(ProcessLauncher launcher);

}  // namespace mainwindow
