#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>

#include "dav/tls_server.h"

namespace dav {
namespace {

using Clock = std::chrono::steady_clock;

std::string LastError(const std::string& what) {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return what;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return what + ": " + text;
}

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left > INT_MAX ? INT_MAX : left);
}

class TlsConnection : public Connection {
public:
    TlsConnection(std::intptr_t handle, SSL* ssl) : Connection(handle), ssl_(ssl) {}
    ~TlsConnection() override { SSL_free(ssl_); }

    bool Begin(int timeoutMs) override {
        const int fd = static_cast<int>(Handle());
        // Non-blocking, so that no OpenSSL call waits beyond its deadline.
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0 || !SSL_set_fd(ssl_, fd)) return false;
        return Drive([this] { return SSL_accept(ssl_); }, Clock::now() + std::chrono::milliseconds(timeoutMs)) > 0;
    }

    long Receive(char* data, std::size_t capacity, int timeoutMs) override {
        const int chunk = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
        const int got =
            Drive([&] { return SSL_read(ssl_, data, chunk); }, Clock::now() + std::chrono::milliseconds(timeoutMs));
        if (got > 0) return got;
        return SSL_get_error(ssl_, got) == SSL_ERROR_ZERO_RETURN ? 0 : -1;
    }

    bool SendAll(const char* data, std::size_t size, int timeoutMs) override {
        while (size) {
            const int chunk = size > INT_MAX ? INT_MAX : static_cast<int>(size);
            const int sent = Drive([&] { return SSL_write(ssl_, data, chunk); },
                                   Clock::now() + std::chrono::milliseconds(timeoutMs));
            if (sent <= 0) return false;
            data += sent;
            size -= static_cast<std::size_t>(sent);
        }
        return true;
    }

private:
    // Runs one OpenSSL call on the non-blocking socket until it completes,
    // waiting for whichever way the record layer needs, up to the deadline.
    template <typename Call>
    int Drive(Call call, Clock::time_point deadline) {
        for (;;) {
            ERR_clear_error();
            const int result = call();
            if (result > 0) return result;
            const int error = SSL_get_error(ssl_, result);
            short events = 0;
            if (error == SSL_ERROR_WANT_READ) events = POLLIN;
            if (error == SSL_ERROR_WANT_WRITE) events = POLLOUT;
            if (!events) return result;
            pollfd fd{static_cast<int>(Handle()), events, 0};
            int ready;
            do ready = poll(&fd, 1, MsLeft(deadline));
            while (ready < 0 && errno == EINTR);
            if (ready <= 0 || (fd.revents & (POLLERR | POLLNVAL))) return -1;
        }
    }

    SSL* ssl_;
};

}  // namespace

struct TlsServer::Context {
    SSL_CTX* ssl = nullptr;
    ~Context() { SSL_CTX_free(ssl); }
};

TlsServer::TlsServer(std::unique_ptr<Context> context) : context_(std::move(context)) {}
TlsServer::~TlsServer() = default;

std::unique_ptr<TlsServer> TlsServer::Load(const std::string& certFile, const std::string& keyFile,
                                           std::string& error) {
    // A client gone in the middle of a response must fail the send, not
    // end the program (OpenSSL writes with write(), which raises SIGPIPE).
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) std::signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<Context> context(new Context);
    context->ssl = SSL_CTX_new(TLS_server_method());
    if (!context->ssl) {
        error = LastError("no TLS context");
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context->ssl, TLS1_2_VERSION);
    SSL_CTX_set_mode(context->ssl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (SSL_CTX_use_certificate_chain_file(context->ssl, certFile.c_str()) != 1) {
        error = LastError("cannot read the certificate " + certFile);
        return nullptr;
    }
    if (SSL_CTX_use_PrivateKey_file(context->ssl, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        error = LastError("cannot read the key " + keyFile);
        return nullptr;
    }
    if (SSL_CTX_check_private_key(context->ssl) != 1) {
        error = LastError("the key " + keyFile + " is not the certificate's");
        return nullptr;
    }
    return std::unique_ptr<TlsServer>(new TlsServer(std::move(context)));
}

std::unique_ptr<Connection> TlsServer::Wrap(std::unique_ptr<Connection> plain) {
    SSL* ssl = SSL_new(context_->ssl);
    if (!ssl) return nullptr;
    return std::unique_ptr<Connection>(new TlsConnection(plain->TakeHandle(), ssl));
}

}  // namespace dav
