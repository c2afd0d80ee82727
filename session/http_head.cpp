#include "session/http_head.h"

namespace session {

namespace {
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool ParseDecimal(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 18) return false;  // 18 digits stay below 2^63
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}
}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

int StatusCode(std::string_view answer) {
    // "HTTP/1.x " then three digits and a space or the end of the line.
    constexpr std::string_view kStart = "HTTP/1.";
    if (answer.size() < 12 || answer.substr(0, kStart.size()) != kStart) return 0;
    if (answer[8] != ' ') return 0;
    int code = 0;
    for (std::size_t i = 9; i < 12; ++i) {
        if (answer[i] < '0' || answer[i] > '9') return 0;
        code = code * 10 + (answer[i] - '0');
    }
    if (answer.size() > 12 && answer[12] != ' ' && answer[12] != '\r') return 0;
    return code;
}

bool StartsLikeHttp(std::string_view text) {
    constexpr std::string_view kStart = "HTTP/1.";
    std::size_t n = text.size() < kStart.size() ? text.size() : kStart.size();
    return text.substr(0, n) == kStart.substr(0, n);
}

bool IsErrorStatus(std::string_view answer) {
    return StatusCode(answer) >= 400;
}

bool HeaderValue(std::string_view header, std::string_view name, std::string_view& value) {
    std::size_t lineStart = header.find("\r\n");  // skip the status line
    while (lineStart != std::string_view::npos) {
        lineStart += 2;
        std::size_t lineEnd = header.find("\r\n", lineStart);
        std::string_view line =
            header.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - lineStart);
        std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && EqualsNoCase(line.substr(0, colon), name)) {
            value = Trim(line.substr(colon + 1));
            return true;
        }
        lineStart = lineEnd;
    }
    return false;
}

LengthField ContentLength(std::string_view header, std::uint64_t& length) {
    bool found = false;
    std::size_t lineStart = header.find("\r\n");
    while (lineStart != std::string_view::npos) {
        lineStart += 2;
        std::size_t lineEnd = header.find("\r\n", lineStart);
        std::string_view line =
            header.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - lineStart);
        std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && EqualsNoCase(line.substr(0, colon), "Content-Length")) {
            std::uint64_t value = 0;
            if (!ParseDecimal(Trim(line.substr(colon + 1)), value)) return LengthField::Malformed;
            if (found && value != length) return LengthField::Malformed;
            length = value;
            found = true;
        }
        lineStart = lineEnd;
    }
    return found ? LengthField::Valid : LengthField::Absent;
}

bool IsPlainQueryValue(std::string_view value) {
    constexpr std::string_view kBreaking = "&#%?'\"<>\\";
    for (char c : value) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7f || kBreaking.find(c) != std::string_view::npos) return false;
    }
    return true;
}

}  // namespace session
