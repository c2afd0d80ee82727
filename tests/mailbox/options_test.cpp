// The one table of the shared options: every front end built here
// (vantlo-cli, vantlo-mount) accepts and refuses the very same values with
// the same words, and the values land where the opener reads them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "loopback_socket.h"
#include "mailbox/cache_dir.h"
#include "mailbox/open.h"
#include "mailbox/options.h"
#include "provider_process.h"
#include "run_process.h"

namespace {

using mailbox::Taken;

struct ValueCase {
    const char* option;
    const char* value;  // nullptr: the option ends the line
    bool accepted;
};

// clang-format off
const ValueCase kValues[] = {
    {"--imap", "imaps://127.0.0.1:993", true},   {"--imap", "imap://mail.example", true},
    {"--imap", "http://127.0.0.1:993", false},   {"--imap", "imaps://", false},
    {"--imap", "", false},                       {"--imap", nullptr, false},
    {"--provider", "127.0.0.1:8080", true},      {"--provider", "https://127.0.0.1:8443", true},
    {"--provider", "ftp://127.0.0.1:21", false}, {"--provider", "nohost", false},
    {"--part-size", "32M", true},                {"--part-size", "2047M", true},
    {"--part-size", "1", true},                  {"--part-size", "2G", false},
    {"--part-size", "0", false},                 {"--part-size", "1.5M", false},
    {"--part-size", "-1", false},                {"--part-size", "999999999999G", false},
    {"--transfers", "1", true},                  {"--transfers", "16", true},
    {"--transfers", "17", false},                {"--transfers", "0", false},
    {"--transfers", "1K", false},
    {"--timeout", "2.5", true},                  {"--timeout", "3600", true},
    {"--timeout", "0.5", false},                 {"--timeout", "3601", false},
    {"--timeout", "nan", false},                 {"--timeout", "1e3", false},
    {"--timeout", nullptr, false},
    {"--ca-file", "/tmp/roots.pem", true},       {"--ca-file", "", false},
    {"--account", "a@163.example", true},        {"--account", "", false},
    {"--cache-dir", "/tmp", true},               {"--cache-dir", "", false},
    {"--part-size", "17179869185G", false},  // (2^34 + 1) GiB: 1 GiB once wrapped around 64 bits
};
// clang-format on

std::vector<std::string> Args(const ValueCase& c) {
    std::vector<std::string> args = {"program", c.option};
    if (c.value) args.push_back(c.value);
    return args;
}

TEST(MailboxOptions, ValuesLandWhereTheOpenerReadsThem) {
    const std::vector<std::string> args = {"p",         "--part-size", "512K",         "--transfers",
                                           "7",         "--timeout",   "2.5",          "--imap",
                                           "imaps://h", "--account",   "A.B@X.example"};
    mailbox::MailboxOptions options;
    std::string problem;
    for (std::size_t at = 1; at < args.size(); ++at)  // each value taken with its option
        ASSERT_EQ(mailbox::TakeOption(args, at, options, problem), Taken::Taken) << args[at] << ": " << problem;
    std::size_t at = 1;
    EXPECT_EQ(mailbox::TakeOption({"p", "--connections", "4"}, at, options, problem), Taken::NotOurs);
    EXPECT_EQ(at, 1u);
    EXPECT_EQ(options.partSize, 512u * 1024);
    EXPECT_EQ(options.transfers, 7u);
    EXPECT_EQ(options.timeoutMs, 2500);
    EXPECT_EQ(options.imapUrl, "imaps://h");
    session::Session session;
    mailbox::ApplyToSession(options, session);
    EXPECT_EQ(session.limits.idleTimeoutMs, 2500) << "the time-out reaches the session";
    options.cacheDir = "/base";
    EXPECT_EQ(mailbox::AccountCachePath(options, ".manifests"), std::filesystem::path("/base/a.b@x.example.manifests"));
    options.account = "../../etc/x";
    EXPECT_EQ(mailbox::AccountCachePath(options, ".session").parent_path(), std::filesystem::path("/base"))
        << "an account name stays one file inside the cache directory";
}

// Each front end reads the same table: a value one accepts, the others
// accept; a value one refuses, the others refuse with the same words.
TEST(MailboxOptions, EveryFrontEndAcceptsAndRefusesTheSameValues) {
    std::vector<std::string> programs = {VANTLO_CLI_EXE};
#ifdef VANTLO_MOUNT_EXE
    programs.push_back(VANTLO_MOUNT_EXE);
#endif
    for (const std::string& program : programs) {
        for (const ValueCase& c : kValues) {
            std::vector<std::string> argv = Args(c);
            argv[0] = program;
            testsupport::ProcessResult run =
                testsupport::RunProcess(argv, {"VANTLO_PROVIDER", "VANTLO_PASSWORD"}, "", 20000);
            const std::string shown = program + " " + c.option + " " + (c.value ? c.value : "(none)");
            EXPECT_EQ(run.exitCode, 2) << shown;
            const bool refused = run.err.find(std::string(c.option) + " needs") != std::string::npos;
            EXPECT_EQ(refused, !c.accepted) << shown << ": " << run.err;
        }
    }
}

// A password the provider refuses is told apart from a provider that
// cannot be reached: the drive gives up on the first, tries the second again.
TEST(MailboxOpen, ARefusedPasswordIsNotAnUnreachableMailbox) {
    testsupport::ProviderProcess provider;
    ASSERT_TRUE(provider.Running());
    std::uint16_t closedPort = 0;
    ::close(testsupport::LoopbackSocket(closedPort, true));
    const std::tuple<std::string, const char*, catalog::StoreCode> cases[] = {
        {provider.HostPort(), "vantlo-demo", catalog::StoreCode::Ok},
        {provider.HostPort(), "not-the-password", catalog::StoreCode::SignInRefused},
        {"127.0.0.1:" + std::to_string(closedPort), "vantlo-demo", catalog::StoreCode::Unreachable},
    };
    for (const auto& [address, password, code] : cases) {
        mailbox::MailboxOptions options;
        options.account = "demo@163.example";
        options.provider = address;
        options.timeoutMs = 10000;
        std::unique_ptr<catalog::MailStore> store;
        catalog::Outcome outcome = mailbox::OpenMailbox(options, password, store);
        EXPECT_EQ(outcome.code, code) << address << " " << password << ": " << outcome.Text();
        EXPECT_EQ(store != nullptr, code == catalog::StoreCode::Ok);
    }
}

}  // namespace
