// A small client for the provider tests, written from the wire forms and
// sharing no code with session/: raw exchanges over loopback (plain or TLS
// verified against a CA file), answers split and decoded (chunked, gzip),
// and the desktop client's requests.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script_reader.h"

struct ssl_st;

namespace providertest {

struct RawAnswer {
    bool connected = false;
    bool closedByServer = false;  // the server ended the connection (not our time bound)
    bool decoded = true;          // false: the chunks or the gzip stream were broken
    int status = 0;               // 0 when no status line could be read
    std::string head;             // up to, not including, the blank line
    std::string body;             // without transfer and content coding
    std::string raw;

    std::string Header(std::string_view name) const;  // the first of that name, or empty
};

RawAnswer ParseAnswer(std::string raw);

// TLS for a test connection: the only CA trusted, and the name checked.
struct ClientTls {
    std::string caFile;
    std::string host = "localhost";
    int maxVersion = 0;  // e.g. TLS1_2_VERSION; 0: the newest
};

// A connected loopback socket, TLS when asked (the handshake, verified,
// is part of connecting). Every wait is bounded.
class RawSocket {
public:
    explicit RawSocket(std::uint16_t port, const ClientTls* tls = nullptr);
    ~RawSocket();
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;

    bool Connected() const { return fd_ >= 0; }
    const std::string& TlsError() const { return tlsError_; }
    bool Send(std::string_view bytes);
    // Reads until the server closes or `waitMs` pass without data.
    std::string ReadUntilClosed(int waitMs, bool* closed = nullptr);
    // One read of whatever comes within `waitMs`.
    std::string ReadSome(int waitMs);
    void ShutdownSend() { ::shutdown(fd_, SHUT_WR); }

private:
    long Receive(char* buffer, std::size_t size, int waitMs);
    int fd_ = -1;
    ssl_st* ssl_ = nullptr;
    std::string tlsError_;
};

RawAnswer Exchange(std::uint16_t port, std::string_view request, int waitMs = 10000, const ClientTls* tls = nullptr);

std::string XmlEscape(std::string_view text);
std::string Sha256Hex(std::string_view bytes);  // 64 lowercase hex digits

class WebmailClient {
public:
    explicit WebmailClient(std::uint16_t port, const ClientTls* tls = nullptr) : port_(port), tls_(tls) {}

    static std::string SignInRequest(const std::string& user, const std::string& password);
    static std::string EntryRequest(const std::string& username, const std::string& cookie, bool secondDomain = false);
    // Both steps of the sign-in; true when the session is open.
    bool SignIn(const std::string& address, const std::string& password);
    const RawAnswer& EntryAnswer() const { return entry_; }
    std::uint16_t Port() const { return port_; }
    void MoveTo(std::uint16_t port) { port_ = port; }  // the same provider, restarted
    const std::string& Sid() const { return sid_; }
    std::string CookieLine() const { return "Cookie: " + cookies_; }

    RawAnswer Send(const std::string& request) const { return Exchange(port_, request, 10000, tls_); }
    std::string FunctionRequest(const std::string& func, const std::string& body, const std::string& sid,
                                const std::string& cookieLine) const;
    RawAnswer Call(const std::string& func, const std::string& body) const {
        return Send(FunctionRequest(func, body, sid_, CookieLine()));
    }
    // The answer parsed; a parse failure is recorded as a test failure.
    ScriptValue CallScript(const std::string& func, const std::string& body) const;
    static std::string CodeOf(const RawAnswer& answer);  // 'code', or "" when none

    std::string OpenCompose() const { return CallScript("mbox:compose", "<object/>").Text("var"); }
    std::string UploadRequest(const std::string& composeId, const std::string& bytes) const;
    // Like the desktop client: send the form, take the first piece, close.
    RawAnswer Upload(const std::string& composeId, const std::string& bytes) const;
    RawAnswer Deliver(const std::string& composeId, const std::string& subject, const std::string& to = "",
                      const std::string& content = "-----", const std::string& name = "") const;
    RawAnswer Download(const std::string& messageId) const;
    // The whole mail as its source (action=download_eml).
    RawAnswer Source(const std::string& messageId) const;
    // Compose, upload (unless `bytes` is null) and deliver to the account
    // itself: the id of the new inbox message, or "" when a step failed.
    std::string StoreFile(const std::string* bytes, const std::string& subject, const std::string& content = "-----",
                          const std::string& name = "") const;
    std::string StoreFile(const std::string& bytes, const std::string& subject) const {
        return StoreFile(&bytes, subject);
    }

    ScriptValue Folders() const { return CallScript("mbox:getAllFolders", "<object/>"); }
    ScriptValue List(std::int64_t folderId, int start = 0, int limit = 50, bool returnTotal = false) const;
    std::string CreateFolder(const std::string& name) const;  // the new id, or the error code
    // The 'var' of mbox:readMessage for that message.
    ScriptValue Read(const std::string& messageId) const;
    RawAnswer Move(const std::vector<std::string>& ids, std::int64_t folderId) const;

private:
    std::uint16_t port_;
    const ClientTls* tls_;
    RawAnswer entry_;
    std::string account_, cookies_, sid_, host_;
};

// The folder object of that id in a getAllFolders answer, or nullptr.
const ScriptValue* FolderById(const ScriptValue& answer, std::int64_t id);
// A counter of a folder object, in the object or in its nested 'stats'.
long long Counter(const ScriptValue& folder, const char* name);
// The 'id' texts of the messages of a listing, in order.
std::vector<std::string> MessageIds(const ScriptValue& answer);

}  // namespace providertest
