// A provider process with one account, signed in to through the session
// library as the product signs in (over TLS, trusting the provider's own
// CA, when the arguments ask for TLS); and the calls the provider tests
// make through that library.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "provider_process.h"
#include "raw_request.h"
#include "session/message_values.h"
#include "session/session.h"
#include "session/status.h"
#include "session/tables.h"

namespace providertest {

constexpr char kTestAccount[] = "tester@163.example";
constexpr char kTestPassword[] = "secret";

session::Status SignInTo(session::Session& s, const testsupport::ProviderProcess& provider, const std::string& account,
                         const std::string& password);

// An answer of the webmail host as the session's exchange reads it: the
// head, and the body decoded from its framing and coding.
struct Reply {
    session::Status status = session::Status::Ok;
    std::string head, body;
    int Code() const;                                 // the HTTP status
    std::string Header(std::string_view name) const;  // "" when absent
};
// A request of the webmail host: "GET target" with the session's cookies.
Reply Get(const session::Session& s, const std::string& target);
// A script function with a hand-made XML body, framed as the session frames it.
Reply Call(const session::Session& s, const std::string& func, const std::string& body);
// The 'code' of a script answer ("S_OK" too); "" when it has none.
std::string CodeOf(std::string_view body);

// Uploads bytes as a file named `name` to a new compose session (s.composeId).
session::Status Upload(session::Session& s, const std::string& bytes, const std::string& name = "file.bin");
// The upload form for a compose session, built by hand (a fixed delimiter).
std::string UploadRequest(const session::Session& s, const std::string& composeId, const std::string& bytes);
// A file's mail to the account itself, as the product stores one (no bytes:
// a mail without attachment): the new inbox message's id, "" when a step failed.
std::string StoreFile(session::Session& s, const std::string* bytes, const std::string& subject,
                      const std::string& text = "-----", const std::string& name = "file.bin");
// The attachment's bytes; "" (and the status in `status`) when it failed.
std::string Fetch(session::Session& s, const std::string& messageId, session::Status* status = nullptr);
std::vector<session::FolderRow> Folders(session::Session& s);
// The row of that id, or nullptr.
const session::FolderRow* FolderById(const std::vector<session::FolderRow>& rows, const std::string& id);
session::MessagePage List(session::Session& s, const std::string& folderId, std::uint64_t start = 0,
                          std::uint32_t limit = 50);
std::vector<std::string> Ids(const session::MessagePage& page);
session::MessageContent Read(session::Session& s, const std::string& messageId);
// The keys, in order, of the first object at or after the start of a
// script text, at that object's own level.
std::vector<std::string> KeysOf(std::string_view text);

class SignedInProvider : public ::testing::Test {
protected:
    void Start(std::vector<std::string> extraArgs = {}) {
        provider_ = std::make_unique<testsupport::ProviderProcess>(
            std::vector<std::string>{std::string(kTestAccount) + ":" + kTestPassword}, std::move(extraArgs));
        ASSERT_TRUE(provider_->Running());
        ASSERT_EQ(SignInTo(s, *provider_, kTestAccount, kTestPassword), session::Status::Ok);
    }
    void SetUp() override { Start(); }

    testsupport::ProviderProcess& Provider() { return *provider_; }
    std::string AccountDir() { return provider_->DataDir() + "/accounts/" + kTestAccount; }
    std::string Code(const std::string& func, const std::string& body) { return CodeOf(Call(s, func, body).body); }
    std::string Store(const std::string& bytes, const std::string& subject) { return StoreFile(s, &bytes, subject); }
    std::string Mail(const std::string& subject) { return StoreFile(s, nullptr, subject); }

    std::unique_ptr<testsupport::ProviderProcess> provider_;
    session::Session s;
};

}  // namespace providertest
