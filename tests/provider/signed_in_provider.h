// A provider process with one account and a client signed in to it (over
// TLS, trusting the provider's own CA, when the arguments ask for TLS).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "provider_process.h"
#include "webmail_client.h"

namespace providertest {

constexpr char kTestAccount[] = "tester@163.example";
constexpr char kTestPassword[] = "secret";

class SignedInProvider : public ::testing::Test {
protected:
    void Start(std::vector<std::string> extraArgs = {}) {
        const bool tls = std::find(extraArgs.begin(), extraArgs.end(), "--tls") != extraArgs.end();
        provider_ = std::make_unique<testsupport::ProviderProcess>(
            std::vector<std::string>{std::string(kTestAccount) + ":" + kTestPassword}, std::move(extraArgs));
        ASSERT_TRUE(provider_->Running());
        if (tls) tls_ = std::make_unique<ClientTls>(ClientTls{provider_->DataDir() + "/tls/ca.pem"});
        client_ = std::make_unique<WebmailClient>(provider_->Port(), tls_.get());
        ASSERT_TRUE(client_->SignIn(kTestAccount, kTestPassword));
    }
    void SetUp() override { Start(); }

    WebmailClient& Client() { return *client_; }
    testsupport::ProviderProcess& Provider() { return *provider_; }
    std::string AccountDir() { return provider_->DataDir() + "/accounts/" + kTestAccount; }
    static std::string Code(const RawAnswer& answer) { return WebmailClient::CodeOf(answer); }
    // A mail without attachment to the account itself: its inbox id.
    std::string Mail(const std::string& subject) { return client_->StoreFile(nullptr, subject); }

    std::unique_ptr<testsupport::ProviderProcess> provider_;
    std::unique_ptr<ClientTls> tls_;
    std::unique_ptr<WebmailClient> client_;
};

}  // namespace providertest
