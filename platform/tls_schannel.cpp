// Schannel (SSPI) client. Schannel's own certificate check is switched off
// because under Wine it lets untrusted and wrong-host certificates through;
// the chain and the name are checked (tls_schannel_certificate.cpp) after
// the handshake and before Start returns, so no application byte can leave
// before the check.
#include <windows.h>
#include <winsock2.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/text.h"
#include "platform/tls_internal.h"
#include "platform/tls_schannel_certificate.h"

namespace net {

namespace {

constexpr std::size_t kIncomingStart = 64 * 1024;
constexpr std::size_t kIncomingLimit = 1024 * 1024;  // a handshake larger than this is refused
constexpr unsigned char kAlertRecord = 21;
constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                                ISC_REQ_MANUAL_CRED_VALIDATION;

// One credentials handle for the process, shared by every connection (as
// OpenSSL's side shares one context): acquiring it costs a trip through
// the security package, and Schannel keeps its session cache per handle,
// so later connections can resume a session instead of a full handshake.
// Freed when the process ends; a failure is tried again next time.
class SharedCredentials {
public:
    ~SharedCredentials() {
        if (have_) FreeCredentialsHandle(&handle_);
    }
    CredHandle* Get() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!have_) {
            SCHANNEL_CRED wanted{};
            wanted.dwVersion = SCHANNEL_CRED_VERSION;
            // Named, not left to the system: Windows 7 does not offer TLS
            // 1.2 by default, and nothing older is acceptable.
            wanted.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
            wanted.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
            TimeStamp expiry;
            have_ = AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND,
                                              nullptr, &wanted, nullptr, nullptr, &handle_, &expiry) == SEC_E_OK;
        }
        return have_ ? &handle_ : nullptr;
    }

private:
    std::mutex mutex_;
    CredHandle handle_{};
    bool have_ = false;
};

CredHandle* Credentials() {
    static SharedCredentials shared;
    return shared.Get();
}

}  // namespace

struct TlsStream::Engine {
    enum class Step { Data, More, End, Fail };

    Socket* socket = nullptr;
    CredHandle* credentials = nullptr;  // the process's, shared
    CtxtHandle context{};
    bool haveContext = false;
    SecPkgContext_StreamSizes sizes{};
    std::wstring target;         // the name for server name indication; empty for addresses
    std::vector<char> incoming;  // received, not yet decrypted: [0, incomingUsed)
    std::size_t incomingUsed = 0;
    std::vector<char> plain;  // decrypted, not yet handed out: [plainStart, end)
    std::size_t plainStart = 0;
    std::vector<char> outgoing;  // one sealed record: [outgoingSent, end) still to go
    std::size_t outgoingSent = 0;
    std::size_t outgoingCarries = 0;  // plain bytes in that record
    bool ended = false;
    bool failed = false;
    bool usable = false;

    ~Engine() {
        if (haveContext) DeleteSecurityContext(&context);
    }

    // Appends what the socket holds: bytes read, 0 when the server closed,
    // -1 on an error or a full buffer, -2 when nothing has arrived yet.
    long ReceiveMore() {
        if (incomingUsed == incoming.size()) {
            if (incoming.size() >= kIncomingLimit) return -1;
            incoming.resize(incoming.size() * 2);
        }
        long got = socket->Receive(incoming.data() + incomingUsed, incoming.size() - incomingUsed);
        if (got > 0) incomingUsed += static_cast<std::size_t>(got);
        if (got < 0 && LastErrorIsWouldBlock()) return -2;
        return got;
    }

    // Keeps the `extra` bytes at the end of what a call did not consume.
    void KeepUnconsumed(std::size_t extra) {
        if (extra > 0 && extra <= incomingUsed)
            std::memmove(incoming.data(), incoming.data() + incomingUsed - extra, extra);
        incomingUsed = extra <= incomingUsed ? extra : 0;
    }

    WaitResult SendToken(const char* data, std::size_t length, const Deadline& deadline) {
        while (length > 0) {
            long sent = socket->Send(data, length);
            if (sent > 0) {
                data += sent;
                length -= static_cast<std::size_t>(sent);
                continue;
            }
            if (sent < 0 && !LastErrorIsWouldBlock()) return WaitResult::Failed;
            WaitResult ready = socket->WaitWritable(deadline.RemainingMs());
            if (ready != WaitResult::Ready) return ready;
        }
        return WaitResult::Ready;
    }

    // Sends what the socket takes of the sealed record; false on an error.
    bool Flush() {
        while (outgoingSent < outgoing.size()) {
            long sent = socket->Send(outgoing.data() + outgoingSent, outgoing.size() - outgoingSent);
            if (sent <= 0) return sent == 0 || LastErrorIsWouldBlock();
            outgoingSent += static_cast<std::size_t>(sent);
        }
        return true;
    }

    // Decrypts the next record that has arrived whole.
    Step Decrypt() {
        while (incomingUsed > 0) {
            unsigned char recordType = static_cast<unsigned char>(incoming[0]);
            SecBuffer buffers[4] = {{static_cast<ULONG>(incomingUsed), SECBUFFER_DATA, incoming.data()},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
            SECURITY_STATUS status = DecryptMessage(&context, &description, 0, nullptr);
            if (status == SEC_E_INCOMPLETE_MESSAGE) return Step::More;
            if (status == SEC_I_CONTEXT_EXPIRED) return Step::End;  // the closing alert
            // A renegotiation is not taken part in: the server would have to
            // prove itself again, and this client checks only once.
            if (status != SEC_E_OK) return Step::Fail;
            std::size_t data = 0, extra = 0;
            for (const SecBuffer& buffer : buffers) {
                if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0) {
                    const char* from = static_cast<const char*>(buffer.pvBuffer);
                    plain.assign(from, from + buffer.cbBuffer);
                    plainStart = 0;
                    data = buffer.cbBuffer;
                }
                if (buffer.BufferType == SECBUFFER_EXTRA) extra = buffer.cbBuffer;
            }
            KeepUnconsumed(extra);
            if (data > 0) return Step::Data;
            // Wine reports the closing alert as a record without data.
            if (recordType == kAlertRecord) return Step::End;
        }
        return Step::More;
    }
};

TlsStream::TlsStream() = default;
TlsStream::~TlsStream() = default;

TlsOutcome TlsStream::Start(Socket& socket, const TlsPeer& peer, int timeoutMs) {
    engine_ = std::make_unique<Engine>();
    Engine& e = *engine_;
    e.socket = &socket;
    e.incoming.resize(kIncomingStart);
    socket.SetNonBlocking(true);
    auto fail = [&](TlsOutcome outcome, const std::string& why) {
        problem_ = DescribeTlsProblem(outcome, peer.name, why);
        return outcome;
    };

    e.credentials = Credentials();
    if (!e.credentials) return fail(TlsOutcome::Failed, "Schannel is not available");
    if (!IsIpv4Literal(peer.name)) e.target = platform::Utf8ToWide(peer.name);
    SEC_WCHAR* target = e.target.empty() ? nullptr : e.target.data();

    TimeStamp expiry;
    Deadline deadline(timeoutMs);
    SECURITY_STATUS status = SEC_I_CONTINUE_NEEDED;
    bool first = true;
    while (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_INCOMPLETE_MESSAGE) {
        if (!first && (e.incomingUsed == 0 || status == SEC_E_INCOMPLETE_MESSAGE)) {
            WaitResult ready = socket.WaitReadable(deadline.RemainingMs());
            if (ready == WaitResult::TimedOut)
                return fail(TlsOutcome::TimedOut, "the handshake did not finish in time");
            if (ready == WaitResult::Failed) return fail(TlsOutcome::Failed, "waiting for the handshake failed");
            long got = e.ReceiveMore();
            if (got == -2) continue;
            if (got == 0) return fail(TlsOutcome::Failed, "the server closed the connection during the handshake");
            if (got < 0) return fail(TlsOutcome::Failed, "receiving the handshake failed");
        }
        SecBuffer in[2] = {{static_cast<ULONG>(e.incomingUsed), SECBUFFER_TOKEN, e.incoming.data()},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDescription{SECBUFFER_VERSION, 2, in};
        SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outDescription{SECBUFFER_VERSION, 1, &out};
        ULONG attributes = 0;
        status = InitializeSecurityContextW(e.credentials, first ? nullptr : &e.context, target, kContextFlags, 0, 0,
                                            first ? nullptr : &inDescription, 0, first ? &e.context : nullptr,
                                            &outDescription, &attributes, &expiry);
        if (first && !FAILED(status)) e.haveContext = true;
        first = false;
        if (status == SEC_E_INCOMPLETE_MESSAGE) continue;
        // The answer to send, also the alert that tells the server why not.
        WaitResult sent = WaitResult::Ready;
        if (out.pvBuffer) {
            sent = e.SendToken(static_cast<const char*>(out.pvBuffer), out.cbBuffer, deadline);
            FreeContextBuffer(out.pvBuffer);
        }
        if (status == SEC_I_INCOMPLETE_CREDENTIALS)
            return fail(TlsOutcome::Failed, "the server asked for a client certificate");
        if (FAILED(status)) return fail(TlsOutcome::Failed, "the handshake was refused (" + Hex(status) + ")");
        if (sent == WaitResult::TimedOut) return fail(TlsOutcome::TimedOut, "the handshake did not finish in time");
        if (sent == WaitResult::Failed) return fail(TlsOutcome::Failed, "sending the handshake failed");
        e.KeepUnconsumed(in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0);
    }
    if (status != SEC_E_OK) return fail(TlsOutcome::Failed, "the handshake ended with " + Hex(status));

    std::string refusal = CheckCertificate(e.context, peer);
    if (!refusal.empty()) return fail(TlsOutcome::CertificateRefused, refusal);
    if (QueryContextAttributesW(&e.context, SECPKG_ATTR_STREAM_SIZES, &e.sizes) != SEC_E_OK)
        return fail(TlsOutcome::Failed, "the record sizes are unknown");
    std::size_t record = e.sizes.cbHeader + e.sizes.cbMaximumMessage + e.sizes.cbTrailer;
    if (e.incoming.size() < record) e.incoming.resize(record);
    e.usable = true;
    return TlsOutcome::Ready;
}

WaitResult TlsStream::WaitReadable(int timeoutMs) {
    Engine& e = *engine_;
    Deadline deadline(timeoutMs);
    for (;;) {
        if (e.plainStart < e.plain.size() || e.ended) return WaitResult::Ready;
        switch (e.Decrypt()) {
        case Engine::Step::Data: return WaitResult::Ready;
        case Engine::Step::End: e.ended = true; return WaitResult::Ready;
        case Engine::Step::Fail:
            e.ended = e.failed = true;
            e.usable = false;
            return WaitResult::Ready;
        case Engine::Step::More: break;
        }
        long got = e.ReceiveMore();
        if (got == -2) {
            WaitResult ready = e.socket->WaitReadable(deadline.RemainingMs());
            if (ready != WaitResult::Ready) return ready;
        } else if (got <= 0) {
            // A close between records ends the stream; inside one, it cut it.
            e.ended = true;
            e.failed = got < 0 || e.incomingUsed > 0;
            e.usable = false;
            return WaitResult::Ready;
        }
    }
}

WaitResult TlsStream::WaitWritable(int timeoutMs) {
    return engine_->socket->WaitWritable(timeoutMs);
}

long TlsStream::Send(const char* data, std::size_t length) {
    Engine& e = *engine_;
    if (e.outgoingSent == e.outgoing.size()) {  // the last record is out: seal the next
        if (length == 0) return 0;
        const std::size_t header = e.sizes.cbHeader, trailer = e.sizes.cbTrailer;
        std::size_t take = std::min<std::size_t>(length, e.sizes.cbMaximumMessage);
        e.outgoing.resize(header + take + trailer);
        char* record = e.outgoing.data();
        std::memcpy(record + header, data, take);
        SecBuffer buffers[4] = {{static_cast<ULONG>(header), SECBUFFER_STREAM_HEADER, record},
                                {static_cast<ULONG>(take), SECBUFFER_DATA, record + header},
                                {static_cast<ULONG>(trailer), SECBUFFER_STREAM_TRAILER, record + header + take},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
        if (EncryptMessage(&e.context, 0, &description, 0) != SEC_E_OK) {
            e.usable = false;
            return -1;
        }
        e.outgoing.resize(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        e.outgoingSent = 0;
        e.outgoingCarries = take;
    }
    if (!e.Flush()) {
        e.usable = false;
        return -1;
    }
    return e.outgoingSent < e.outgoing.size() ? 0 : static_cast<long>(e.outgoingCarries);
}

long TlsStream::Receive(char* data, std::size_t capacity) {
    Engine& e = *engine_;
    if (e.plainStart == e.plain.size() && !e.ended && WaitReadable(0) != WaitResult::Ready) return -1;
    std::size_t available = e.plain.size() - e.plainStart;
    if (available == 0) return e.failed ? -1 : 0;
    std::size_t count = std::min(available, capacity);
    std::memcpy(data, e.plain.data() + e.plainStart, count);
    e.plainStart += count;
    return static_cast<long>(count);
}

void TlsStream::Shutdown() {
    if (!engine_ || !engine_->usable) return;
    Engine& e = *engine_;
    e.usable = false;
    DWORD kind = SCHANNEL_SHUTDOWN;
    SecBuffer token{sizeof kind, SECBUFFER_TOKEN, &kind};
    SecBufferDesc description{SECBUFFER_VERSION, 1, &token};
    if (ApplyControlToken(&e.context, &description) != SEC_E_OK) return;
    SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDescription{SECBUFFER_VERSION, 1, &out};
    ULONG attributes = 0;
    TimeStamp expiry;
    SECURITY_STATUS status = InitializeSecurityContextW(e.credentials, &e.context, nullptr, kContextFlags, 0, 0,
                                                        nullptr, 0, nullptr, &outDescription, &attributes, &expiry);
    if (!out.pvBuffer) return;
    if (!FAILED(status) && out.cbBuffer > 0) e.socket->Send(static_cast<const char*>(out.pvBuffer), out.cbBuffer);
    FreeContextBuffer(out.pvBuffer);
}

}  // namespace net
