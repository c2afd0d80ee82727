#include "connection_log.h"

#include <cerrno>
#include <cstring>

#include "text_rules.h"

namespace provider {

namespace {

bool IsSecretName(std::string_view name) {
    const std::string lower = ToLowerAscii(name);
    return lower.find("pass") != std::string::npos || lower.find("pwd") != std::string::npos;
}

// The request line with the values of password-like query fields hidden.
std::string HideQuerySecrets(std::string_view line) {
    std::string out;
    std::size_t i = 0;
    while (i < line.size()) {
        std::size_t field = line.find_first_of("?&", i);
        if (field == std::string_view::npos) break;
        std::size_t equals = line.find('=', field + 1);
        std::size_t end = line.find_first_of("& ", field + 1);
        if (end == std::string_view::npos) end = line.size();
        out.append(line.substr(i, field + 1 - i));
        i = field + 1;
        if (equals == std::string_view::npos || equals > end) continue;
        out.append(line.substr(i, equals + 1 - i));
        out +=
            IsSecretName(line.substr(i, equals - i)) ? "***" : std::string(line.substr(equals + 1, end - equals - 1));
        i = end;
    }
    out.append(line.substr(i));
    return out;
}

}  // namespace

std::string LoggedHead(std::string_view head) {
    std::string hidden;
    std::size_t start = 0;
    for (bool first = true; start <= head.size(); first = false) {
        std::size_t end = head.find('\n', start);
        if (end == std::string_view::npos) end = head.size();
        std::string_view line = head.substr(start, end - start);
        std::size_t colon = line.find(':');
        std::string_view name = colon == std::string_view::npos ? line : line.substr(0, colon);
        if (first)
            hidden += HideQuerySecrets(line);
        else if (EqualsIgnoringCase(TrimSpacesAndTabs(name), "Cookie") ||
                 EqualsIgnoringCase(TrimSpacesAndTabs(name), "Authorization"))
            hidden += std::string(line.substr(0, colon + 1)) + " ***" + (line.back() == '\r' ? "\r" : "");
        else
            hidden += line;
        if (end < head.size()) hidden += '\n';
        start = end + 1;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (char c : hidden) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (u < 0x20 || u >= 0x7F)
            out += std::string("\\x") + kHex[u >> 4] + kHex[u & 15];
        else
            out.push_back(c);
    }
    return out;
}

ConnectionLog::~ConnectionLog() {
    if (file_ != nullptr) std::fclose(file_);
}

bool ConnectionLog::Open(const std::string& path, std::string& error) {
    file_ = std::fopen(path.c_str(), "ae");
    if (file_ == nullptr) error = "cannot open the log " + path + ": " + std::strerror(errno);
    return file_ != nullptr;
}

std::uint64_t ConnectionLog::NextId() {
    std::lock_guard<std::mutex> hold(mutex_);
    return next_++;
}

void ConnectionLog::Write(std::uint64_t id, std::string_view event) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (file_ == nullptr) return;
    std::fprintf(file_, "#%llu %.*s\n", static_cast<unsigned long long>(id), static_cast<int>(event.size()),
                 event.data());
    std::fflush(file_);
}

void ConnectionLog::Head(std::uint64_t id, std::string_view head) {
    Write(id, "head " + LoggedHead(head));
}

}  // namespace provider
