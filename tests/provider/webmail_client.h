// The requests of the desktop client, written out by hand for the provider
// tests: sign-in, entry, script functions, compose, upload, delivery and
// download, byte for byte in the forms the client sends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "raw_http.h"
#include "script_reader.h"

namespace providertest {

// The upload form's delimiter (42 characters) and the boundary the
// Content-Type declares (40 characters, two dashes fewer).
extern const char kUploadDelimiter[];
extern const char kUploadBoundary[];

class WebmailClient {
public:
    explicit WebmailClient(std::uint16_t port) : port_(port) {}

    std::uint16_t Port() const { return port_; }

    // The form as the client sends it, values percent-encoded.
    static std::string SignInRequest(const std::string& user, const std::string& password);
    static std::string EntryRequest(const std::string& username, const std::string& cookie, bool secondDomain = false);

    // Both steps of the sign-in; true when the session is open.
    bool SignIn(const std::string& address, const std::string& password);
    RawAnswer SignInAnswer() const { return signIn_; }
    RawAnswer EntryAnswer() const { return entry_; }

    const std::string& Sid() const { return sid_; }
    const std::string& Coremail() const { return coremail_; }  // the whole piece "Coremail=...;"
    const std::string& Host() const { return host_; }
    // "Cookie: S_INFO..;P_INFO..;NTES_SESS..;Coremail..;" as the client sends it.
    std::string CookieLine() const;

    std::string FunctionRequest(const std::string& func, const std::string& body, const std::string& sid,
                                const std::string& cookieLine) const;
    RawAnswer Call(const std::string& func, const std::string& body) const;
    // The answer parsed; a parse failure is recorded as a test failure.
    ScriptValue CallScript(const std::string& func, const std::string& body) const;
    // 'code' of an answer, "" when none.
    static std::string CodeOf(const RawAnswer& answer);

    std::string OpenCompose() const;
    std::string UploadRequest(const std::string& composeId, const std::string& bytes,
                              const std::string& path = "C:\\Users\\demo\\file.bin") const;
    RawAnswer Upload(const std::string& composeId, const std::string& bytes,
                     const std::string& path = "C:\\Users\\demo\\file.bin") const;
    static std::string DeliverBody(const std::string& composeId, const std::string& account, const std::string& subject,
                                   std::int64_t size);
    RawAnswer Deliver(const std::string& composeId, const std::string& subject, std::int64_t size,
                      const std::string& to = "") const;
    std::string DownloadRequest(const std::string& messageId) const;
    RawAnswer Download(const std::string& messageId) const;
    // Compose, upload and deliver to the account itself: the id of the new
    // inbox message, or "" when a step failed.
    std::string StoreFile(const std::string& bytes, const std::string& subject) const;

    // Folder helpers over the script functions.
    ScriptValue Folders() const;
    ScriptValue List(std::int64_t folderId, int start = 0, int limit = 50) const;
    std::string CreateFolder(const std::string& name) const;  // new id, or the error code
    RawAnswer Move(const std::vector<std::string>& ids, std::int64_t folderId) const;
    RawAnswer DeleteMessages(const std::vector<std::string>& ids) const;

    std::string account;

private:
    std::uint16_t port_;
    RawAnswer signIn_;
    RawAnswer entry_;
    std::string ntesSess_, sInfo_, pInfo_, coremail_, sid_, host_;
};

// The folder object of that id in a getAllFolders answer, or nullptr.
const ScriptValue* FolderById(const ScriptValue& answer, std::int64_t id);
// A counter of a folder object, whether it stands in the object or in its
// nested 'stats'.
long long Counter(const ScriptValue& folder, const char* name);
// The 'id' texts of the messages of a listMessages answer, in order.
std::vector<std::string> MessageIds(const ScriptValue& answer);

}  // namespace providertest
