#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "provider_process.h"
#include "run_process.h"
#include "scripted_server.h"

namespace {

using testsupport::ProcessResult;
using testsupport::RunProcess;

ProcessResult Cli(std::vector<std::string> args, std::vector<std::string> env = {}, const std::string& input = "") {
    args.insert(args.begin(), VANTLO_CLI_EXE);
    env.push_back("VANTLO_PROVIDER=");  // nothing reaches a built-in address
    return RunProcess(args, env, input, 30000);
}

TEST(CliUsage, DomainsHelpAndWrongUsage) {
    ProcessResult domains = Cli({"domains"});
    EXPECT_EQ(domains.exitCode, 0);
    EXPECT_EQ(domains.out, "163.example\n126.example\nyeah.example\n");

    ProcessResult help = Cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"--provider", "--timeout", "--account", "VANTLO_PASSWORD", "signin", "domains"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;

    for (auto args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"--timeout", "soon", "domains"}, {"--provider", "nohostport", "domains"}, {"signin"}}) {
        ProcessResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args[0]);
        EXPECT_FALSE(r.err.empty());
    }
}

struct CliSignIn : ::testing::Test {
    testsupport::ProviderProcess provider{{"ann@163.example:s3cret &=%"}};
    std::string Provider() const { return provider.HostPort(); }
};

TEST_F(CliSignIn, SignsInWithThePasswordFromTheEnvironmentOrStandardInput) {
    ASSERT_TRUE(provider.Running());
    ProcessResult env = Cli({"--provider", Provider(), "--account", "ann@163.example", "signin"},
                            {"VANTLO_PASSWORD=s3cret &=%"});
    EXPECT_EQ(env.exitCode, 0) << env.err;
    EXPECT_EQ(env.out, "signed in as ann@163.example at " + Provider() + "\n");

    ProcessResult stdin_ = Cli({"--account", "ann@163.example", "signin"}, {"VANTLO_PROVIDER=" + Provider()},
                               "s3cret &=%\n");
    EXPECT_EQ(stdin_.exitCode, 0) << stdin_.err;
    EXPECT_EQ(stdin_.out.find("s3cret"), std::string::npos);
}

TEST_F(CliSignIn, FailuresExitOneWithOneClearLine) {
    ASSERT_TRUE(provider.Running());
    struct Case {
        std::vector<std::string> args;
        std::string password;
        std::string says;
    } cases[] = {
        {{"--provider", Provider(), "--account", "ann@163.example", "signin"}, "Zq9-not-it", "wrong password"},
        {{"--provider", Provider(), "--account", "ann@mail.example", "signin"}, "Zq9-other", "unsupported account domain"},
        {{"--provider", "127.0.0.1:" + std::to_string(testsupport::ClosedPort()), "--account", "ann@163.example",
          "signin"},
         "Zq9-third",
         "unreachable"},
    };
    for (const Case& c : cases) {
        ProcessResult r = Cli(c.args, {"VANTLO_PASSWORD=" + c.password});
        EXPECT_EQ(r.exitCode, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.find(c.password), std::string::npos) << "the password must never be echoed";
    }
}

}  // namespace
