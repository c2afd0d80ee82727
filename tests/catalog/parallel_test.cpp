// Parallel parts against a real provider (plain http, so a fault server or
// the slow-link relay can sit in between): a connection torn mid-transfer,
// the short-time and daily sending limits hit mid-upload, the session
// ending mid-transfer. Each part lands in the folder once, and the file
// comes back byte-exact.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "catalog/transfers.h"
#include "catalog/webmail_store.h"
#include "fault_server.h"
#include "provider_process.h"
#include "session/signin.h"
#include "slow_link.h"

namespace {

namespace fs = std::filesystem;
using namespace catalog;

constexpr char kAccount[] = "a@163.example";
constexpr std::uint64_t kPart = 64 * 1024;

class ParallelTest : public ::testing::Test {
protected:
    const fs::path dir = testsupport::MakeTempDir("vantlo-parallel-test-");
    std::unique_ptr<testsupport::ProviderProcess> provider;
    session::Session s;
    std::unique_ptr<WebmailStore> store;
    std::string folder, bytes;
    int signIns = 0;

    ~ParallelTest() override { testsupport::RemoveTree(dir.string()); }
    void Start(const std::vector<std::string>& args) {
        provider = std::make_unique<testsupport::ProviderProcess>(
            std::vector<std::string>{kAccount + std::string(":pa")}, args);
        ASSERT_TRUE(provider->Running());
        SignInAt(provider->Address());
    }
    void SignInAt(const std::string& address) {
        s.providerOverride = address;
        ASSERT_EQ(session::SignIn(s, kAccount, session::EntryForAccount(kAccount), "pa"), session::SignInResult::Ok);
        WebmailOptions options;
        options.quotaFirstPauseMs = 200;
        options.lookAfterCutMs = 200;
        store = std::make_unique<WebmailStore>(s, options);
        store->SetSignInAgain([this](session::Session& again) {
            ++signIns;
            return session::SignIn(again, kAccount, session::EntryForAccount(kAccount), "pa") ==
                   session::SignInResult::Ok;
        });
        ASSERT_TRUE(store->CreateFolder("f", folder).Ok());
        bytes.clear();
        for (std::uint64_t i = 0; i < 12 * kPart - 100; ++i) bytes.push_back(static_cast<char>(i * 131 / 7));
        std::ofstream(dir / "f.bin", std::ios::binary) << bytes;
    }
    Outcome Put(std::vector<PutReport>& reports) {
        return PutFiles(*store, {dir / "f.bin"}, folder, {4, kPart, {}}, reports);
    }
    // Puts (again while runs fail, up to putRuns), gets it back, checks each part is there once.
    void RoundTrip(int putRuns) {
        std::vector<PutReport> reports;
        Outcome outcome = Put(reports);
        for (int run = 1; run < putRuns && !outcome.Ok(); ++run) outcome = Put(reports);
        ASSERT_TRUE(outcome.Ok()) << outcome.Text();
        std::vector<FileEntry> files;
        ASSERT_TRUE(ListFiles(*store, folder, files).Ok());
        ASSERT_EQ(files.size(), 1u);
        EXPECT_TRUE(files[0].Whole()) << files[0].Problems();
        std::vector<MailInfo> inbox;
        ASSERT_TRUE(store->ListMails(store->InboxId(), inbox).Ok());
        EXPECT_TRUE(inbox.empty()) << inbox.size() << " mails left in the inbox: a part was delivered twice";
        std::vector<GetReport> got;
        outcome = GetFiles(*store, {{reports[0].key, dir / "back"}}, {4, kPart, {}}, got);
        if (!outcome.Ok()) outcome = GetFiles(*store, {{reports[0].key, dir / "back"}}, {4, kPart, {}}, got);
        ASSERT_TRUE(outcome.Ok()) << outcome.Text();
        std::ifstream in(dir / "back", std::ios::binary);
        EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == bytes);
    }
};

TEST_F(ParallelTest, AConnectionTornAmidFourPartsIsLookedForThenFinished) {
    // The provider behind a fault server; connections are served one at a time.
    testsupport::ProviderProcess direct(std::vector<std::string>{kAccount + std::string(":pa")});
    {
        testsupport::FaultServer relay(direct.Port());
        SignInAt(relay.HostPort());
        // Deliveries whose answers are cut off after the provider took the
        // mail: sent again blindly, each would leave a second copy.
        testsupport::Action cut = testsupport::Forward(testsupport::Action::Cut, 20);
        cut.onlyWhen = "<string name=\"action\">deliver</string>";
        for (int i = 0; i < 3; ++i) relay.Push(cut);
        // Any other answer cut: the run fails, and the next one finishes the job.
        for (int i = 0; i < 30; ++i) relay.Push(testsupport::Forward());
        relay.Push(testsupport::Forward(testsupport::Action::Cut, 20));
        RoundTrip(2);
        EXPECT_GE(relay.Connections(), 40);
    }
}

TEST_F(ParallelTest, SendingLimitsMidUploadWaitOrStopAndNothingIsStoredTwice) {
    Start({"--send-limit", "5/2"});
    RoundTrip(1);

    Start({"--daily-send-limit", "5"});
    std::vector<PutReport> reports;
    Outcome outcome = Put(reports);
    EXPECT_EQ(outcome.code, StoreCode::QuotaDaily) << outcome.Text();
    EXPECT_NE(outcome.detail.find("daily sending quota"), std::string::npos);
    std::vector<FileEntry> files;
    ASSERT_TRUE(ListFiles(*store, folder, files).Ok());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].present.size(), 5u);
    EXPECT_TRUE(files[0].duplicated.empty());
}

TEST_F(ParallelTest, ASessionEndingMidTransferIsOpenedAgainThroughASlowLink) {
    testsupport::ProviderProcess direct(std::vector<std::string>{kAccount + std::string(":pa")},
                                        {"--session-ttl", "1"});
    testsupport::SlowLink link(direct.Port(), {25, 8 << 20});
    SignInAt(link.HostPort());
    RoundTrip(1);
    EXPECT_GE(signIns, 1);
    EXPECT_GE(link.Connections(), 12);
}

}  // namespace
