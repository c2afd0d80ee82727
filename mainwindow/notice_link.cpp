#include "mainwindow/notice_link.h"

#include <cwctype>
#include <vector>

#include "platform/text.h"

namespace mainwindow {

namespace {
ProcessLauncher processLauncher;

bool StartProcess(const std::wstring& commandLine) {
    if (processLauncher) return processLauncher(commandLine);
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The link's characters, read within their range so that no buffer can be
// overrun; empty when the link is longer than its room. Rich edit 1.0 is an
// ANSI control: its text comes in the ANSI code page unless the window is a
// Unicode one.
std::wstring LinkText(HWND noticePane, const CHARRANGE& range) {
    if (range.cpMin < 0 || range.cpMax <= range.cpMin) return {};
    auto length = static_cast<std::size_t>(range.cpMax - range.cpMin);
    if (length > kLinkChars) return {};
    if (IsWindowUnicode(noticePane)) {
        std::vector<wchar_t> text(length + 1, L'\0');
        TEXTRANGEW request{range, text.data()};
        SendMessageW(noticePane, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&request));
        return std::wstring(text.data());
    }
    // Room for the longest multibyte form of every character.
    std::vector<char> text(4 * length + 1, '\0');
    TEXTRANGEA request{range, text.data()};
    SendMessageA(noticePane, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&request));
    return platform::AnsiToWide(std::string(text.data()));
}
}  // namespace

std::wstring BrowserPathFromCommand(const std::wstring& command) {
    if (!command.empty() && command[0] == L'"') {
        std::size_t close = command.find(L'"', 1);
        return command.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
    }
    return command.substr(0, command.find(L' '));
}

bool IsHttpLink(const std::wstring& link) {
    static const wchar_t kPrefix[] = L"http://";
    if (link.size() < 7) return false;
    for (std::size_t i = 0; i < 7; ++i)
        if (std::towlower(link[i]) != kPrefix[i]) return false;
    return true;
}

std::wstring BrowserCommandLine(const std::wstring& browserPath, const std::wstring& link) {
    if (!IsHttpLink(link)) return {};
    std::wstring line = browserPath + L" " + link;
    return line.size() > kLinkChars ? std::wstring() : line;
}

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

void OpenNoticeLink(HWND noticePane, const ENLINK& link) {
    CHARRANGE range = link.chrg;
    SendMessageW(noticePane, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    std::wstring text = LinkText(noticePane, range);
    std::wstring line = BrowserCommandLine(BrowserPathFromCommand(ReadBrowserCommand()), text);
    if (!line.empty()) StartProcess(line);
}

void SetProcessLauncher(ProcessLauncher launcher) {
    processLauncher = std::move(launcher);
}

}  // namespace mainwindow
