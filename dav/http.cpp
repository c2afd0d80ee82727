#include "dav/http.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace dav {
namespace {

using Clock = std::chrono::steady_clock;

std::string Trim(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    std::size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

bool IsToken(const std::string& text) {
    if (text.empty()) return false;
    for (unsigned char c : text)
        if (c <= 32 || c >= 127 || std::strchr("()<>@,;:\\\"/[]?={}", c)) return false;
    return true;
}

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct Civil {
    std::int64_t year;
    unsigned month, day, hour, minute, second, weekday;
};

Civil Split(std::int64_t seconds) {
    std::int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    std::int64_t rest = seconds - days * 86400;
    Civil civil{};
    CivilFromDays(days, civil.year, civil.month, civil.day);
    civil.hour = static_cast<unsigned>(rest / 3600);
    civil.minute = static_cast<unsigned>(rest / 60 % 60);
    civil.second = static_cast<unsigned>(rest % 60);
    civil.weekday = static_cast<unsigned>(((days % 7) + 7) % 7);
    return civil;
}

}  // namespace

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

const std::string* Request::Header(const std::string& lowerName) const {
    for (const auto& header : headers)
        if (header.first == lowerName) return &header.second;
    return nullptr;
}

std::string Request::HeaderOr(const std::string& lowerName, const std::string& fallback) const {
    const std::string* value = Header(lowerName);
    return value ? *value : fallback;
}

HeadResult ParseHead(const std::string& head, std::size_t maxHeaders, Request& request) {
    request = Request();
    std::size_t lineEnd = head.find("\r\n");
    std::string line = head.substr(0, lineEnd);
    std::size_t first = line.find(' '), second = line.rfind(' ');
    if (first == std::string::npos || second == first) return HeadResult::Malformed;
    request.method = line.substr(0, first);
    request.target = line.substr(first + 1, second - first - 1);
    std::string version = line.substr(second + 1);
    if (!IsToken(request.method) || request.target.empty()) return HeadResult::Malformed;
    for (unsigned char c : request.target)
        if (c <= 32 || c >= 127) return HeadResult::Malformed;
    if (version == "HTTP/1.1")
        request.minorVersion = 1;
    else if (version == "HTTP/1.0")
        request.minorVersion = 0;
    else
        return HeadResult::Malformed;
    std::size_t at = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (at < head.size()) {
        std::size_t end = head.find("\r\n", at);
        if (end == std::string::npos) end = head.size();
        std::string field = head.substr(at, end - at);
        at = end + 2;
        if (field.empty()) continue;
        // Folded lines are obsolete and a smuggling risk: refused.
        if (field[0] == ' ' || field[0] == '\t') return HeadResult::Malformed;
        std::size_t colon = field.find(':');
        if (colon == std::string::npos) return HeadResult::Malformed;
        std::string name = field.substr(0, colon);
        if (!IsToken(name)) return HeadResult::Malformed;
        std::string value = Trim(field.substr(colon + 1));
        for (unsigned char c : value)
            if ((c < 32 && c != '\t') || c == 127) return HeadResult::Malformed;
        name = LowerAscii(name);
        auto same = std::find_if(request.headers.begin(), request.headers.end(),
                                 [&](const std::pair<std::string, std::string>& h) { return h.first == name; });
        if (same != request.headers.end()) {
            // Two lengths could frame two different bodies.
            if (name == "content-length" || name == "host") return HeadResult::Malformed;
            same->second += ", " + value;
            continue;
        }
        if (request.headers.size() >= maxHeaders) return HeadResult::TooLarge;
        request.headers.emplace_back(name, value);
    }
    if (request.minorVersion == 1 && !request.Header("host")) return HeadResult::Malformed;
    return HeadResult::Ok;
}

void HttpConnection::Pace::Begin() {
    start = Clock::now();
    bytes = 0;
    running = true;
}

bool HttpConnection::Pace::TooSlow(const HttpLimits& limits) const {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    return running && ms > limits.graceMs && bytes * 1000 < static_cast<std::uint64_t>(ms) * limits.minBytesPerSecond;
}

bool HttpConnection::Send(const char* data, std::size_t size) {
    if (!sendPace_.running) sendPace_.Begin();
    if (sendPace_.TooSlow(limits_) || !connection_.SendAll(data, size, limits_.ioMs)) return false;
    sendPace_.bytes += size;
    return true;
}

bool HttpConnection::Fill(int timeoutMs) {
    char chunk[16 * 1024];
    long got = connection_.Receive(chunk, sizeof chunk, timeoutMs);
    if (got <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(got));
    return true;
}

HeadResult HttpConnection::ReadHead(Request& request, bool first) {
    sendPace_.running = bodyPace_.running = false;
    Clock::time_point deadline{};
    bool started = false;
    for (;;) {
        // Blank lines before a request are allowed (a client's stray CRLF).
        while (buffer_.compare(0, 2, "\r\n") == 0) buffer_.erase(0, 2);
        std::size_t end = buffer_.find("\r\n\r\n");
        if (end != std::string::npos) {
            if (end + 4 > limits_.maxHead) return HeadResult::TooLarge;
            std::string head = buffer_.substr(0, end);
            buffer_.erase(0, end + 4);
            return ParseHead(head, limits_.maxHeaders, request);
        }
        if (buffer_.size() > limits_.maxHead) return HeadResult::TooLarge;
        if (!started && !buffer_.empty()) {
            started = true;
            deadline = Clock::now() + std::chrono::milliseconds(limits_.headMs);
        }
        int wait = limits_.idleMs;
        if (started) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return HeadResult::TimedOut;
            wait = static_cast<int>(left);
        } else if (first) {
            wait = limits_.headMs;
        }
        std::size_t before = buffer_.size();
        if (!Fill(wait)) return started || before ? HeadResult::TimedOut : HeadResult::Closed;
    }
}

HttpConnection::BodyKind HttpConnection::FrameOf(const Request& request, std::uint64_t& length) {
    length = 0;
    const std::string* coding = request.Header("transfer-encoding");
    const std::string* declared = request.Header("content-length");
    if (coding) {
        // Both framings at once is how requests are smuggled: refused.
        if (declared || LowerAscii(*coding) != "chunked") return BodyKind::Invalid;
        return BodyKind::Chunked;
    }
    if (!declared) return BodyKind::None;
    if (declared->empty() || declared->size() > 19) return BodyKind::Invalid;
    for (char c : *declared) {
        if (c < '0' || c > '9') return BodyKind::Invalid;
        length = length * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return length ? BodyKind::Length : BodyKind::None;
}

void HttpConnection::BeginBody(BodyKind kind, std::uint64_t length) {
    chunked_ = kind == BodyKind::Chunked;
    bodyLeft_ = kind == BodyKind::Length ? length : 0;
    bodyPace_.Begin();
}

bool HttpConnection::ReadLine(std::string& line, std::size_t limit) {
    for (;;) {
        std::size_t end = buffer_.find("\r\n");
        if (end != std::string::npos) {
            if (end > limit) return false;
            line = buffer_.substr(0, end);
            buffer_.erase(0, end + 2);
            return true;
        }
        if (buffer_.size() > limit) return false;
        if (!Fill(limits_.ioMs)) return false;
    }
}

long HttpConnection::ReadBody(char* data, std::size_t capacity) {
    if (bodyPace_.TooSlow(limits_)) return -1;
    if (bodyLeft_ == 0 && chunked_) {
        std::string line;
        if (!ReadLine(line, 1024)) return -1;
        std::size_t digits = 0;
        std::uint64_t size = 0;
        while (digits < line.size() && std::isxdigit(static_cast<unsigned char>(line[digits]))) {
            if (digits >= 15) return -1;
            char c = static_cast<char>(std::tolower(static_cast<unsigned char>(line[digits])));
            size = size * 16 + static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
            ++digits;
        }
        if (digits == 0 || (digits < line.size() && line[digits] != ';' && line[digits] != ' ')) return -1;
        if (size == 0) {
            // Trailers, bounded, up to the blank line.
            for (int count = 0;; ++count) {
                if (count > 64 || !ReadLine(line, 8192)) return -1;
                if (line.empty()) break;
            }
            chunked_ = false;
            return 0;
        }
        bodyLeft_ = size;
    }
    if (bodyLeft_ == 0) return 0;
    if (buffer_.empty() && !Fill(limits_.ioMs)) return -1;
    std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>({bodyLeft_, capacity, buffer_.size()}));
    std::memcpy(data, buffer_.data(), take);
    buffer_.erase(0, take);
    bodyLeft_ -= take;
    bodyPace_.bytes += take;
    if (bodyLeft_ == 0 && chunked_) {
        std::string crlf;
        if (!ReadLine(crlf, 0)) return -1;
    }
    return static_cast<long>(take);
}

bool HttpConnection::ReadWholeBody(std::string& body, std::size_t limit) {
    body.clear();
    char chunk[16 * 1024];
    for (;;) {
        long got = ReadBody(chunk, sizeof chunk);
        if (got < 0) return false;
        if (got == 0) return true;
        if (body.size() + static_cast<std::size_t>(got) > limit) return false;
        body.append(chunk, static_cast<std::size_t>(got));
    }
}

bool HttpConnection::Discard(std::uint64_t limit) {
    char chunk[16 * 1024];
    std::uint64_t dropped = 0;
    for (;;) {
        long got = ReadBody(chunk, sizeof chunk);
        if (got < 0) return false;
        if (got == 0) return true;
        dropped += static_cast<std::uint64_t>(got);
        if (dropped > limit) return false;
    }
}

const char* ReasonPhrase(int code) {
    switch (code) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 207: return "Multi-Status";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 411: return "Length Required";
    case 412: return "Precondition Failed";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 415: return "Unsupported Media Type";
    case 416: return "Range Not Satisfiable";
    case 423: return "Locked";
    case 424: return "Failed Dependency";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    case 507: return "Insufficient Storage";
    }
    return "Unknown";
}

std::string HttpDate(std::int64_t seconds) {
    Civil c = Split(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02u %s %04lld %02u:%02u:%02u GMT", kDays[c.weekday], c.day,
                  kMonths[c.month - 1], static_cast<long long>(c.year), c.hour, c.minute, c.second);
    return text;
}

std::string IsoDate(std::int64_t seconds) {
    Civil c = Split(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:%02uZ", static_cast<long long>(c.year), c.month, c.day,
                  c.hour, c.minute, c.second);
    return text;
}

bool ParseHttpDate(const std::string& text, std::int64_t& seconds) {
    char weekday[4] = {}, month[4] = {};
    unsigned day = 0, hour = 0, minute = 0, second = 0;
    int year = 0;
    if (std::sscanf(text.c_str(), "%3s, %u %3s %d %u:%u:%u GMT", weekday, &day, month, &year, &hour, &minute,
                    &second) != 7)
        return false;
    unsigned monthIndex = 0;
    while (monthIndex < 12 && std::strcmp(kMonths[monthIndex], month) != 0) ++monthIndex;
    if (monthIndex == 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 || year < 1601 ||
        year > 9999)
        return false;
    seconds = DaysFromCivil(year, monthIndex + 1, day) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

}  // namespace dav
