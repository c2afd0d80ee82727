// Text conversions between UTF-8 (the session's tables), the system's ANSI
// code page (account names, passwords, registry texts) and UTF-16 (window
// texts and file paths on Windows). Off Windows the "ANSI" code page is
// taken to be UTF-8.
#pragma once

#include <string>

namespace platform {

#ifdef _WIN32
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);
std::wstring AnsiToWide(const std::string& ansi);
std::string WideToAnsi(const std::wstring& wide);
#endif

std::string AnsiToUtf8(const std::string& ansi);

}  // namespace platform
