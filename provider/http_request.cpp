#include "http_request.h"

#include "text_rules.h"

namespace provider {

namespace {

bool IsTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsToken(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!IsTokenChar(c)) return false;
    return true;
}

bool ParseRequestLine(std::string_view line, HttpRequest& request) {
    std::size_t firstSpace = line.find(' ');
    if (firstSpace == std::string_view::npos) return false;
    std::size_t secondSpace = line.find(' ', firstSpace + 1);
    if (secondSpace == std::string_view::npos || line.find(' ', secondSpace + 1) != std::string_view::npos)
        return false;
    std::string_view method = line.substr(0, firstSpace);
    std::string_view target = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    std::string_view version = line.substr(secondSpace + 1);
    if (!IsToken(method) || target.empty() || target[0] != '/') return false;
    for (char c : target)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
    if (version != "HTTP/1.1" && version != "HTTP/1.0") return false;
    request.method = std::string(method);
    request.target = std::string(target);
    std::size_t question = target.find('?');
    request.path = std::string(target.substr(0, question));
    request.query = question == std::string_view::npos ? std::string() : std::string(target.substr(question + 1));
    request.version = std::string(version);
    return true;
}

}  // namespace

const std::string* HttpRequest::Header(std::string_view name) const {
    for (const auto& header : headers)
        if (EqualsIgnoringCase(header.first, name)) return &header.second;
    return nullptr;
}

std::string HttpRequest::JoinedHeader(std::string_view name) const {
    std::string joined;
    for (const auto& header : headers) {
        if (!EqualsIgnoringCase(header.first, name)) continue;
        if (!joined.empty()) joined += "; ";
        joined += header.second;
    }
    return joined;
}

bool ParseRequestHead(std::string_view head, HttpRequest& request) {
    request = HttpRequest();
    bool first = true;
    std::size_t start = 0;
    while (start <= head.size()) {
        std::size_t end = head.find('\n', start);
        if (end == std::string_view::npos) end = head.size();
        std::string_view line = head.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        start = end + 1;
        if (first) {
            if (!ParseRequestLine(line, request)) return false;
            first = false;
            continue;
        }
        if (line.empty()) {
            if (end == head.size()) break;
            return false;  // a blank line inside the head
        }
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) return false;
        std::string_view value = TrimSpacesAndTabs(line.substr(colon + 1));
        for (char c : value)
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) return false;
        request.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
    }
    return !first;
}

BodyLength ReadBodyLength(const HttpRequest& request, std::uint64_t& length) {
    if (request.Header("Transfer-Encoding") != nullptr) return BodyLength::Unsupported;
    bool seen = false;
    for (const auto& header : request.headers) {
        if (!EqualsIgnoringCase(header.first, "Content-Length")) continue;
        const std::string& digits = header.second;
        if (digits.empty() || digits.size() > 15) return BodyLength::Invalid;
        std::uint64_t value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return BodyLength::Invalid;
            value = value * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (seen && value != length) return BodyLength::Invalid;
        length = value;
        seen = true;
    }
    if (!seen) length = 0;
    return seen ? BodyLength::Known : BodyLength::None;
}

}  // namespace provider
