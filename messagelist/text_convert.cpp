#include "messagelist/text_convert.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace messagelist {

namespace {
std::wstring ToWide(UINT codePage, const char* text) {
    int length = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, 0, text, -1, wide.data(), length) <= 0) return {};
    wide.resize(static_cast<std::size_t>(length) - 1);  // the terminator
    return wide;
}

bool IsHighSurrogate(wchar_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
}  // namespace

std::size_t Utf8ToWide(const char* utf8, wchar_t* wide, std::size_t capacity) {
    if (!wide || capacity == 0) return 0;
    std::wstring text = utf8 ? ToWide(CP_UTF8, utf8) : std::wstring();
    std::size_t length = text.size();
    if (length > capacity - 1) {
        length = capacity - 1;
        if (length > 0 && IsHighSurrogate(text[length - 1])) --length;
    }
    if (length) std::memcpy(wide, text.data(), length * sizeof(wchar_t));
    wide[length] = L'\0';
    return length;
}

int AnsiToUtf8(const char* ansi, char* out) {
    if (!ansi) return 0;
    std::wstring wide = ToWide(CP_ACP, ansi);
    if (wide.empty() && ansi[0] != '\0') return 0;
    int needed = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return 0;
    if (!out) return needed;
    if (needed > kAnsiToUtf8Capacity) return 0;
    return WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, out, kAnsiToUtf8Capacity, nullptr, nullptr);
}

}  // namespace messagelist
