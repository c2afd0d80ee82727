#include "imap/connection.h"

namespace imap {

Outcome Connection::Open(const std::string& host, std::uint16_t port) {
    Close();
    host_ = host;
    net::Startup();
    net::Address address;
    if (!net::Resolve(host, port, address)) return Failure(StoreCode::Unreachable, "cannot resolve " + host);
    if (!socket_.Open() || !net::ConnectBounded(socket_, address, idleMs_)) {
        socket_.Close();
        return Failure(StoreCode::Unreachable, "no connection to " + host + ":" + std::to_string(port));
    }
    socket_.SetNonBlocking(true);
    return Success();
}

Outcome Connection::StartTls(const net::TlsPeer& peer) {
    tls_ = std::make_unique<net::TlsStream>();
    net::TlsOutcome outcome = tls_->Start(socket_, peer, idleMs_);
    if (outcome == net::TlsOutcome::Ready) return Success();
    std::string problem = tls_->Problem();
    tls_.reset();
    Close();
    switch (outcome) {
    case net::TlsOutcome::CertificateRefused: return Failure(StoreCode::CertificateRefused, problem);
    case net::TlsOutcome::TimedOut:
        return Failure(StoreCode::TimedOut, "the secure connection to " + host_ + " was not set up in time");
    default: return Failure(StoreCode::Unreachable, problem);
    }
}

net::WaitResult Connection::Wait(bool forWrite) {
    if (tls_) return forWrite ? tls_->WaitWritable(idleMs_) : tls_->WaitReadable(idleMs_);
    return forWrite ? socket_.WaitWritable(idleMs_) : socket_.WaitReadable(idleMs_);
}

Outcome Connection::Send(const char* data, std::size_t size) {
    if (!socket_.IsOpen()) return Failure(StoreCode::Broken, "the connection to " + host_ + " is closed");
    for (std::size_t done = 0; done < size;) {
        net::WaitResult ready = Wait(true);
        if (ready == net::WaitResult::TimedOut) return Failure(StoreCode::TimedOut, host_ + " stopped taking data");
        long sent = ready == net::WaitResult::Ready
                        ? (tls_ ? tls_->Send(data + done, size - done) : socket_.Send(data + done, size - done))
                        : -1;
        if (sent < 0 && !tls_ && net::LastErrorIsWouldBlock()) continue;
        if (sent < 0) return Failure(StoreCode::Broken, "the connection to " + host_ + " broke while sending");
        done += static_cast<std::size_t>(sent);
    }
    return Success();
}

Outcome Connection::Read(char* into, std::size_t capacity, std::size_t& got) {
    got = 0;
    if (!socket_.IsOpen()) return Failure(StoreCode::Broken, "the connection to " + host_ + " is closed");
    for (;;) {
        net::WaitResult ready = Wait(false);
        if (ready == net::WaitResult::TimedOut) return Failure(StoreCode::TimedOut, host_ + " did not answer in time");
        long received = ready == net::WaitResult::Ready
                            ? (tls_ ? tls_->Receive(into, capacity) : socket_.Receive(into, capacity))
                            : -1;
        if (received < 0 && !tls_ && net::LastErrorIsWouldBlock()) continue;
        if (received == 0) return Failure(StoreCode::Broken, host_ + " closed the connection");
        if (received < 0) return Failure(StoreCode::Broken, "the connection to " + host_ + " broke");
        got = static_cast<std::size_t>(received);
        // What else has arrived comes along (a TLS record holds 16 KiB at
        // most): fewer, larger pieces for the reader and what it feeds.
        while (got < capacity && (received = ReceiveNow(into + got, capacity - got)) > 0)
            got += static_cast<std::size_t>(received);
        return Success();
    }
}

long Connection::ReceiveNow(char* into, std::size_t capacity) {
    if (!tls_) return socket_.Receive(into, capacity);
    return tls_->WaitReadable(0) == net::WaitResult::Ready ? tls_->Receive(into, capacity) : -1;
}

void Connection::Close() {
    if (tls_) tls_->Shutdown();
    tls_.reset();
    socket_.Close();
}

}  // namespace imap
