#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <climits>
#include <csignal>
#include <map>
#include <mutex>

#include "platform/tls_internal.h"

namespace net {

namespace {

// OpenSSL writes to the socket with write(), which raises SIGPIPE once the
// server has gone: the program must see a failed send instead of dying.
void IgnoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) std::signal(SIGPIPE, SIG_IGN);
    });
}

std::string QueuedErrorText() {
    unsigned long code = ERR_peek_last_error();
    if (code == 0) return "the connection was closed";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

int Clamp(std::size_t length) {
    return length > INT_MAX ? INT_MAX : static_cast<int>(length);
}

// One client context per trust setting for the whole process: building one
// loads every trusted root (the system's hold well over a hundred), which
// costs far more than the handshake itself. A context is only read once
// built, so connections on any thread share it; each SSL takes a reference
// of its own. A setting whose roots could not be read is not kept, so a CA
// file written later is read then.
// The contexts by CA file; each holds one reference of its context, given
// back when the process ends.
struct SharedContexts {
    std::mutex lock;
    std::map<std::string, SSL_CTX*> byCaFile;
    ~SharedContexts() {
        for (auto& entry : byCaFile) SSL_CTX_free(entry.second);
    }
};

SSL_CTX* SharedContext(const std::string& caFile, TlsOutcome& outcome, std::string& problem) {
    static SharedContexts shared;
    std::lock_guard<std::mutex> guard(shared.lock);
    std::map<std::string, SSL_CTX*>& contexts = shared.byCaFile;
    auto known = contexts.find(caFile);
    if (known != contexts.end()) {
        SSL_CTX_up_ref(known->second);
        return known->second;
    }
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (!context) {
        outcome = TlsOutcome::Failed;
        problem = QueuedErrorText();
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    int trusted = caFile.empty() ? SSL_CTX_set_default_verify_paths(context)
                                 : SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr);
    if (trusted != 1) {
        SSL_CTX_free(context);
        outcome = TlsOutcome::CertificateRefused;
        problem = "no trusted certificate could be read from " + caFile;
        return nullptr;
    }
    contexts.emplace(caFile, context);
    SSL_CTX_up_ref(context);
    return context;
}

}  // namespace

struct TlsStream::Engine {
    enum class Step { Progress, Wait, End, Fail };

    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    Socket* socket = nullptr;
    bool waitForRead = true;  // the direction the last Wait step asked for
    bool sendWaitsForRead = false;
    bool ended = false;
    bool failed = false;
    bool usable = false;  // handshake done and no fatal error since

    ~Engine() {
        if (ssl) SSL_free(ssl);
        if (context) SSL_CTX_free(context);
    }

    // What the call that returned rc leaves to do.
    Step Classify(int rc) {
        if (rc > 0) return Step::Progress;
        int error = SSL_get_error(ssl, rc);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            waitForRead = error == SSL_ERROR_WANT_READ;
            return Step::Wait;
        }
        if (error == SSL_ERROR_ZERO_RETURN) return Step::End;  // the closing alert
        usable = false;
        // Many servers close without the alert; that ends the stream only
        // between records. Inside one (part of it is still held), the answer
        // was cut.
        bool closed = error == SSL_ERROR_SSL && ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
        return closed && SSL_has_pending(ssl) == 0 ? Step::End : Step::Fail;
    }

    WaitResult WaitSocket(bool forRead, int timeoutMs) {
        return forRead ? socket->WaitReadable(timeoutMs) : socket->WaitWritable(timeoutMs);
    }
};

TlsStream::TlsStream() = default;
TlsStream::~TlsStream() = default;

TlsOutcome TlsStream::Start(Socket& socket, const TlsPeer& peer, int timeoutMs) {
    IgnoreBrokenPipes();
    engine_ = std::make_unique<Engine>();
    Engine& e = *engine_;
    e.socket = &socket;
    socket.SetNonBlocking(true);
    auto fail = [&](TlsOutcome outcome, const std::string& why) {
        problem_ = DescribeTlsProblem(outcome, peer.name, why);
        return outcome;
    };

    TlsOutcome refused = TlsOutcome::Failed;
    std::string problem;
    e.context = SharedContext(peer.caFile, refused, problem);
    if (!e.context) return fail(refused, problem);

    e.ssl = SSL_new(e.context);
    if (!e.ssl || SSL_set_fd(e.ssl, socket.Native()) != 1 || SSL_set1_host(e.ssl, peer.name.c_str()) != 1)
        return fail(TlsOutcome::Failed, QueuedErrorText());
    if (!IsIpv4Literal(peer.name)) SSL_set_tlsext_host_name(e.ssl, peer.name.c_str());

    Deadline deadline(timeoutMs);
    for (;;) {
        ERR_clear_error();
        int rc = SSL_connect(e.ssl);
        if (rc == 1) break;
        Engine::Step step = e.Classify(rc);
        long verified = SSL_get_verify_result(e.ssl);
        if (verified != X509_V_OK) return fail(TlsOutcome::CertificateRefused, X509_verify_cert_error_string(verified));
        if (step != Engine::Step::Wait) return fail(TlsOutcome::Failed, QueuedErrorText());
        WaitResult ready = e.WaitSocket(e.waitForRead, deadline.RemainingMs());
        if (ready == WaitResult::TimedOut) return fail(TlsOutcome::TimedOut, "the handshake did not finish in time");
        if (ready == WaitResult::Failed) return fail(TlsOutcome::Failed, "waiting for the handshake failed");
    }
    // SSL_VERIFY_PEER ends a handshake that fails the check; this is the
    // second lock on the same door.
    if (SSL_get_verify_result(e.ssl) != X509_V_OK || !SSL_get0_peer_certificate(e.ssl))
        return fail(TlsOutcome::CertificateRefused, "no verified certificate");
    e.usable = true;
    return TlsOutcome::Ready;
}

WaitResult TlsStream::WaitReadable(int timeoutMs) {
    Engine& e = *engine_;
    Deadline deadline(timeoutMs);
    for (;;) {
        if (e.ended || SSL_pending(e.ssl) > 0) return WaitResult::Ready;
        // Decrypting one byte ahead tells a whole record from part of one.
        char probe;
        ERR_clear_error();
        switch (e.Classify(SSL_peek(e.ssl, &probe, 1))) {
        case Engine::Step::Progress: return WaitResult::Ready;
        case Engine::Step::End: e.ended = true; return WaitResult::Ready;
        case Engine::Step::Fail: e.ended = e.failed = true; return WaitResult::Ready;
        case Engine::Step::Wait: break;
        }
        WaitResult ready = e.WaitSocket(e.waitForRead, deadline.RemainingMs());
        if (ready != WaitResult::Ready) return ready;
    }
}

WaitResult TlsStream::WaitWritable(int timeoutMs) {
    return engine_->WaitSocket(engine_->sendWaitsForRead, timeoutMs);
}

long TlsStream::Send(const char* data, std::size_t length) {
    Engine& e = *engine_;
    if (length == 0) return 0;
    ERR_clear_error();
    int rc = SSL_write(e.ssl, data, Clamp(length));
    switch (e.Classify(rc)) {
    case Engine::Step::Progress: e.sendWaitsForRead = false; return rc;
    case Engine::Step::Wait: e.sendWaitsForRead = e.waitForRead; return 0;
    default: e.usable = false; return -1;
    }
}

long TlsStream::Receive(char* data, std::size_t capacity) {
    Engine& e = *engine_;
    if (!e.ended || SSL_pending(e.ssl) > 0) {
        ERR_clear_error();
        int rc = SSL_read(e.ssl, data, Clamp(capacity));
        switch (e.Classify(rc)) {
        case Engine::Step::Progress: return rc;
        case Engine::Step::End: e.ended = true; break;
        case Engine::Step::Fail: e.ended = e.failed = true; break;
        case Engine::Step::Wait: return -1;  // not waited for: nothing to hand out
        }
    }
    return e.failed ? -1 : 0;
}

void TlsStream::Shutdown() {
    if (!engine_ || !engine_->usable) return;
    SSL_shutdown(engine_->ssl);  // the socket is non-blocking: one try
    ERR_clear_error();
    engine_->usable = false;
}

}  // namespace net
