// Parallel parts against a real provider (plain http, so a fault server or
// the slow-link relay can sit in between): a connection torn mid-transfer,
// the short-time and daily sending limits hit mid-upload, the session
// ending mid-transfer. Each part lands in the folder once, and the file
// comes back byte-exact.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "catalog/transfers.h"
#include "fault_server.h"
#include "provider_process.h"
#include "session/signin.h"
#include "slow_link.h"
#include "webmail/webmail_store.h"

namespace {

namespace fs = std::filesystem;
using namespace catalog;
using namespace webmail;

constexpr std::uint64_t kPart = 64 * 1024;
const std::vector<std::string> kAccounts = {"a@163.example:pa"};

bool SignInto(session::Session& s) {
    return session::SignIn(s, "a@163.example", session::EntryForAccount("a@163.example"), "pa") == session::Status::Ok;
}

class ParallelTest : public ::testing::Test {
protected:
    const fs::path dir = testsupport::MakeTempDir("vantlo-parallel-test-");
    session::Session s;
    std::unique_ptr<WebmailStore> store;
    std::string folder, bytes = testsupport::NoiseBytes(12 * kPart - 100, 7);
    int signIns = 0;

    ~ParallelTest() override { testsupport::RemoveTree(dir.string()); }
    void SignInAt(const std::string& address) {
        s.providerOverride = address;
        ASSERT_TRUE(SignInto(s));
        store = std::make_unique<WebmailStore>(
            s, WebmailOptions{60000, 50, 2000, session::kLargestPage, 200, 60000, 15 * 60000, 200, 3});
        store->SetSignInAgain([this](session::Session& again) { return ++signIns, SignInto(again); });
        ASSERT_TRUE(store->CreateFolder({}, "f", folder).Ok());
        std::ofstream(dir / "f.bin", std::ios::binary) << bytes;
    }
    Outcome Put(std::vector<PutReport>& reports) {
        return PutFiles(*store, {dir / "f.bin"}, folder, {4, kPart, {}, {}}, reports);
    }
    // Puts (again while runs fail, up to putRuns) and gets back; each part once, none left in the inbox.
    void RoundTrip(int putRuns) {
        std::vector<PutReport> reports;
        Outcome outcome = Put(reports);
        for (int run = 1; run < putRuns && !outcome.Ok(); ++run) outcome = Put(reports);
        ASSERT_TRUE(outcome.Ok()) << outcome.Text();
        std::vector<FileEntry> files;
        std::vector<MailInfo> inbox;
        ASSERT_TRUE(ListFiles(*store, folder, files).Ok() && store->ListMails("1", inbox).Ok());
        ASSERT_EQ(files.size(), 1u);
        EXPECT_TRUE(files[0].Whole()) << files[0].Problems();
        EXPECT_TRUE(inbox.empty()) << inbox.size() << " mails left in the inbox: a part was delivered twice";
        std::vector<GetReport> got;
        ASSERT_TRUE(GetFiles(*store, {{reports[0].key, dir / "back"}}, {4, kPart, {}, {}}, got).Ok());
        std::ifstream in(dir / "back", std::ios::binary);
        EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == bytes);
    }
};

TEST_F(ParallelTest, DeliveriesWhoseAnswersAreCutAreLookedForNotSentAgain) {
    // The provider behind a fault server; connections are served one at a time.
    testsupport::ProviderProcess direct(kAccounts);
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
}

TEST_F(ParallelTest, SendingLimitsMidUploadWaitOrStopAndNothingIsStoredTwice) {
    testsupport::ProviderProcess shortLimit(kAccounts, {"--send-limit", "5/2"});
    SignInAt(shortLimit.Address());
    RoundTrip(1);

    testsupport::ProviderProcess dailyLimit(kAccounts, {"--daily-send-limit", "5"});
    SignInAt(dailyLimit.Address());
    std::vector<PutReport> reports;
    Outcome outcome = Put(reports);
    EXPECT_EQ(outcome.code, StoreCode::QuotaDaily) << outcome.Text();
    EXPECT_NE(outcome.detail.find("daily sending quota"), std::string::npos);
    std::vector<FileEntry> files;
    ASSERT_TRUE(ListFiles(*store, folder, files).Ok() && files.size() == 1);
    EXPECT_TRUE(files[0].present.size() == 5 && files[0].duplicated.empty()) << files[0].Problems();
}

TEST_F(ParallelTest, ASessionEndingMidTransferIsOpenedAgainThroughASlowLink) {
    testsupport::ProviderProcess direct(kAccounts, {"--session-ttl", "1"});
    testsupport::SlowLink link(direct.Port(), {25, 8 << 20});
    SignInAt(link.HostPort());
    RoundTrip(1);
    EXPECT_GE(signIns, 1);
}

}  // namespace
