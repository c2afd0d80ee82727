#include "signin/ansi_text.h"

#include <vector>

#include "platform/text.h"

namespace signin {

std::string CutAnsi(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t kept = 0;
    while (kept < text.size()) {
        std::size_t step = IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(text[kept])) ? 2 : 1;
        if (kept + step > maxBytes) break;
        kept += step;
    }
    return text.substr(0, kept);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return a.empty() && b.empty();
    std::wstring wideA = platform::AnsiToWide(a);
    std::wstring wideB = platform::AnsiToWide(b);
    return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

std::string WindowTextAnsi(HWND window, std::size_t maxUnits, std::size_t maxBytes) {
    int length = GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, text.data(), length + 1);
    std::wstring wide(text.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
    if (wide.size() > maxUnits) wide.resize(maxUnits);
    return CutAnsi(platform::WideToAnsi(wide), maxBytes);
}

}  // namespace signin
