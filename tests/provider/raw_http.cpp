#include "raw_http.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace providertest {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

std::vector<std::string> RawAnswer::Headers(std::string_view name) const {
    std::vector<std::string> values;
    const std::string wanted = Lower(name);
    std::size_t start = head.find("\r\n");
    while (start != std::string::npos && start < head.size()) {
        start += 2;
        std::size_t end = head.find("\r\n", start);
        std::string line = head.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos && Lower(line.substr(0, colon)) == wanted) {
            std::size_t valueStart = line.find_first_not_of(' ', colon + 1);
            values.push_back(valueStart == std::string::npos ? std::string() : line.substr(valueStart));
        }
        start = end;
    }
    return values;
}

std::string RawAnswer::Header(std::string_view name) const {
    std::vector<std::string> values = Headers(name);
    return values.empty() ? std::string() : values.front();
}

RawAnswer ParseAnswer(std::string raw) {
    RawAnswer answer;
    answer.raw = std::move(raw);
    std::size_t blank = answer.raw.find("\r\n\r\n");
    answer.head = answer.raw.substr(0, blank);
    if (blank != std::string::npos) answer.body = answer.raw.substr(blank + 4);
    if (answer.head.rfind("HTTP/1.", 0) == 0 && answer.head.size() >= 12)
        answer.status = std::atoi(answer.head.c_str() + 9);
    return answer;
}

RawSocket::RawSocket(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) Close();
}

RawSocket::~RawSocket() {
    Close();
}

void RawSocket::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool RawSocket::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string RawSocket::ReadSome(int waitMs) {
    pollfd entry{fd_, POLLIN, 0};
    if (::poll(&entry, 1, waitMs) <= 0) return std::string();
    char piece[65536];
    ssize_t n = ::recv(fd_, piece, sizeof piece, 0);
    return n > 0 ? std::string(piece, static_cast<std::size_t>(n)) : std::string();
}

std::string RawSocket::ReadUntilClosed(int waitMs, bool* closed) {
    std::string data;
    if (closed != nullptr) *closed = false;
    std::vector<char> piece(1 << 20);
    for (;;) {
        pollfd entry{fd_, POLLIN, 0};
        int ready = ::poll(&entry, 1, waitMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return data;
        ssize_t n = ::recv(fd_, piece.data(), piece.size(), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (closed != nullptr) *closed = true;
            return data;
        }
        data.append(piece.data(), static_cast<std::size_t>(n));
    }
}

void RawSocket::ShutdownSend() {
    ::shutdown(fd_, SHUT_WR);
}

RawAnswer Exchange(std::uint16_t port, std::string_view request, int waitMs) {
    RawSocket socket(port);
    if (!socket.Connected()) return RawAnswer();
    socket.Send(request);
    bool closed = false;
    std::string raw = socket.ReadUntilClosed(waitMs, &closed);
    RawAnswer answer = ParseAnswer(std::move(raw));
    answer.connected = true;
    answer.closedByServer = closed;
    return answer;
}

int CountDescriptors(int pid) {
    std::string path = "/proc/" + std::to_string(pid) + "/fd";
    DIR* directory = ::opendir(path.c_str());
    if (directory == nullptr) return -1;
    int count = 0;
    while (dirent* entry = ::readdir(directory))
        if (entry->d_name[0] != '.') ++count;
    ::closedir(directory);
    return count;
}

std::string XmlEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

}  // namespace providertest

namespace providertest {

int FindProcessWithData(const std::string& dataDir) {
    const std::string wanted = std::string("--data") + '\0' + dataDir + '\0';
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return -1;
    int found = -1;
    while (dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
        std::string path = std::string("/proc/") + entry->d_name + "/cmdline";
        FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) continue;
        char buffer[4096];
        std::size_t n = std::fread(buffer, 1, sizeof buffer, file);
        std::fclose(file);
        if (std::string(buffer, n).find(wanted) != std::string::npos) {
            found = std::atoi(entry->d_name);
            break;
        }
    }
    ::closedir(proc);
    return found;
}

}  // namespace providertest
