// A provider process with one account and a client signed in to it.
#pragma once

#include <gtest/gtest.h>

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
    // Starts the provider (with `extraArgs`) and signs in.
    void Start(std::vector<std::string> extraArgs = {}) {
        provider_ = std::make_unique<testsupport::ProviderProcess>(
            std::vector<std::string>{std::string(kTestAccount) + ":" + kTestPassword}, std::move(extraArgs));
        ASSERT_TRUE(provider_->Running());
        client_ = std::make_unique<WebmailClient>(provider_->Port());
        ASSERT_TRUE(client_->SignIn(kTestAccount, kTestPassword));
    }
    void SetUp() override { Start(); }

    WebmailClient& Client() { return *client_; }
    testsupport::ProviderProcess& Provider() { return *provider_; }

    std::unique_ptr<testsupport::ProviderProcess> provider_;
    std::unique_ptr<WebmailClient> client_;
};

}  // namespace providertest
