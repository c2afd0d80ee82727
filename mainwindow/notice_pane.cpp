#include "mainwindow/notice_pane.h"

#include <vector>

#include "app/layout.h"
#include "app/notice.h"
#include "platform/text.h"

namespace mainwindow {

namespace {
constexpr LPARAM kNoticeEvents = ENM_LINK | ENM_MOUSEEVENTS | ENM_KEYEVENTS | ENM_SCROLLEVENTS;

// The link's characters, read within their range so that no buffer can be
// overrun; empty when the link is longer than its room. Rich edit 1.0 is an
// ANSI control: its text comes in the ANSI code page unless the window is a
// Unicode one.
std::wstring LinkText(HWND pane, const CHARRANGE& range) {
    if (range.cpMin < 0 || range.cpMax <= range.cpMin) return {};
    auto length = static_cast<std::size_t>(range.cpMax - range.cpMin);
    if (length > app::kLinkChars) return {};
    if (IsWindowUnicode(pane)) {
        std::vector<wchar_t> text(length + 1, L'\0');
        TEXTRANGEW request{range, text.data()};
        SendMessageW(pane, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&request));
        return std::wstring(text.data());
    }
    // Room for the longest multibyte form of every character.
    std::vector<char> text(4 * length + 1, '\0');
    TEXTRANGEA request{range, text.data()};
    SendMessageA(pane, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&request));
    return platform::AnsiToWide(std::string(text.data()));
}

// The default value of HKEY_CLASSES_ROOT\http\shell\open\command; empty
// when it is missing.
std::wstring ReadBrowserCommand() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    DWORD type = 0;
    DWORD bytes = 0;
    std::vector<wchar_t> value;
    LONG result = RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes);
    if (result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        // One unit more than the value, so that it is always terminated.
        value.assign(bytes / sizeof(wchar_t) + 1, L'\0');
        result = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes);
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || value.empty()) return {};
    value.back() = L'\0';
    return std::wstring(value.data());
}

void StartProcess(const std::wstring& commandLine) {
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return;  // no browser: nothing opens, as nothing can be said about it
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
}  // namespace

HWND CreateNoticePane(HWND frame) {
    RECT client{};
    GetClientRect(frame, &client);
    app::Bounds b = app::NoticePaneBounds(client.right, client.bottom);
    HWND pane = CreateWindowExW(WS_EX_CLIENTEDGE, L"RICHEDIT", kNoticePlaceholder,
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, b.x,
                                b.y, b.width, b.height, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!pane) return nullptr;
    SendMessageW(pane, EM_AUTOURLDETECT, TRUE, 0);
    SendMessageW(pane, EM_SETEVENTMASK, 0, kNoticeEvents);
    SendMessageW(pane, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return pane;
}

void OpenNoticeLink(HWND pane, const ENLINK& link) {
    CHARRANGE range = link.chrg;
    SendMessageW(pane, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    std::wstring line =
        app::BrowserCommandLine(app::BrowserPathFromCommand(ReadBrowserCommand()), LinkText(pane, range));
    if (!line.empty()) StartProcess(line);
}

}  // namespace mainwindow
