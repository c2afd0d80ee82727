#include "platform/net.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

#include "platform/text.h"

namespace net {

void Startup() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 0), &data);
    });
}

bool Resolve(const std::string& host, std::uint16_t port, Address& out) {
    Startup();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) return false;
    const auto* in = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
    out.ipv4 = ntohl(in->sin_addr.s_addr);
    out.port = port;
    freeaddrinfo(list);
    return true;
}

NativeSocket Socket::Invalid() {
    return static_cast<NativeSocket>(INVALID_SOCKET);
}

Socket::~Socket() {
    Close();
}

Socket::Socket(Socket&& other) noexcept : handle_(other.handle_) {
    other.handle_ = Invalid();
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = Invalid();
    }
    return *this;
}

bool Socket::Open() {
    Startup();
    Close();
    handle_ = static_cast<NativeSocket>(::socket(AF_INET, SOCK_STREAM, 0));
    return handle_ != Invalid();
}

bool Socket::IsOpen() const {
    return handle_ != Invalid();
}

void Socket::SetNonBlocking(bool on) {
    u_long mode = on ? 1 : 0;
    ioctlsocket(static_cast<SOCKET>(handle_), FIONBIO, &mode);
}

void Socket::SetAbortiveLinger() {
    linger value{};
    value.l_onoff = 1;
    value.l_linger = 0;
    setsockopt(static_cast<SOCKET>(handle_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&value),
               sizeof value);
}

ConnectResult Socket::Connect(const Address& to) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(to.port);
    addr.sin_addr.s_addr = htonl(to.ipv4);
    int rc = ::connect(static_cast<SOCKET>(handle_), reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    if (rc == 0) return ConnectResult::Connected;
    if (WSAGetLastError() == WSAEWOULDBLOCK) return ConnectResult::InProgress;
    return ConnectResult::Failed;
}

static WaitResult WaitFor(SOCKET s, bool write, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    fd_set failed;  // a refused non-blocking connect is reported here
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int rc = ::select(0, write ? nullptr : &set, write ? &set : nullptr, write ? &failed : nullptr, &tv);
    if (rc == SOCKET_ERROR) return WaitResult::Failed;
    if (rc == 0) return WaitResult::TimedOut;
    return WaitResult::Ready;
}

WaitResult Socket::WaitWritable(int timeoutMs) {
    return WaitFor(static_cast<SOCKET>(handle_), true, timeoutMs);
}
WaitResult Socket::WaitReadable(int timeoutMs) {
    return WaitFor(static_cast<SOCKET>(handle_), false, timeoutMs);
}

bool Socket::ConnectSucceeded() {
    int error = 0;
    int length = sizeof error;
    if (getsockopt(static_cast<SOCKET>(handle_), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return false;
    if (error != 0) WSASetLastError(error);
    return error == 0;
}

long Socket::Send(const char* data, std::size_t length) {
    int chunk = length > 0x40000000 ? 0x40000000 : static_cast<int>(length);
    int rc = ::send(static_cast<SOCKET>(handle_), data, chunk, 0);
    return rc == SOCKET_ERROR ? -1 : rc;
}

long Socket::Receive(char* data, std::size_t capacity) {
    int chunk = capacity > 0x40000000 ? 0x40000000 : static_cast<int>(capacity);
    int rc = ::recv(static_cast<SOCKET>(handle_), data, chunk, 0);
    return rc == SOCKET_ERROR ? -1 : rc;
}

void Socket::Close() {
    if (handle_ == Invalid()) return;
    SOCKET s = static_cast<SOCKET>(handle_);
    ::shutdown(s, SD_RECEIVE);
    ::shutdown(s, SD_SEND);
    ::shutdown(s, SD_BOTH);
    ::closesocket(s);
    handle_ = Invalid();
}

std::string SocketErrorText(int code) {
    wchar_t* buffer = nullptr;
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring wide(buffer != nullptr ? buffer : L"", length);
    LocalFree(buffer);
    // The system's sentence ends in a full stop and a line break.
    while (!wide.empty() &&
           (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ' || wide.back() == L'.'))
        wide.pop_back();
    if (wide.empty()) return "socket error " + std::to_string(code);
    if (wide[0] >= L'A' && wide[0] <= L'Z') wide[0] = static_cast<wchar_t>(wide[0] - L'A' + L'a');
    return platform::WideToUtf8(wide);
}

int LastError() {
    return WSAGetLastError();
}
bool LastErrorIsWouldBlock() {
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

}  // namespace net
