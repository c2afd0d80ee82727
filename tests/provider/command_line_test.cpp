// The command line, the first lines of output, and a clean end on a signal.
#include <gtest/gtest.h>

#include "provider_process.h"
#include "run_process.h"

namespace providertest {
namespace {

TEST(CommandLine, HelpNamesEveryOptionAndWrongUsageExitsWithTwo) {
    testsupport::ProcessResult help = testsupport::RunProcess({testsupport::ProviderExecutable(), "--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--listen", "--data", "--account", "--answer-style", "--answer-coding", "--idle-timeout",
                               "--tls", "--tls-cert", "--tls-key", "--log", "--attachment-limit", "--session-ttl",
                               "--send-limit", "--daily-send-limit", "--seed-folder", "demo@163.example"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    // Arguments separated by "|".
    for (std::string wrong : {"--listen|0.0.0.0:0",
                              "--listen|127.0.0.1:99999",
                              "--listen",
                              "--frobnicate",
                              "--account|no-password@x.example",
                              "--account|not an address:pw",
                              "--answer-style|loud",
                              "--answer-coding|br",
                              "--idle-timeout|0",
                              "--tls=yes",
                              "--tls-cert|c.pem",
                              "--attachment-limit|2147483648",
                              "--session-ttl|-1",
                              "--send-limit|10",
                              "--send-limit|10/0",
                              "--daily-send-limit|x",
                              "--seed-folder|name",
                              "--seed-folder|name:0",
                              "--seed-folder|:5",
                              "--seed-folder|a:100000:65536"}) {
        std::vector<std::string> args = {testsupport::ProviderExecutable()};
        for (std::size_t start = 0, bar = 0; bar != std::string::npos; start = bar + 1)
            args.push_back(wrong.substr(start, (bar = wrong.find('|', start)) - start));
        testsupport::ProcessResult run = testsupport::RunProcess(args, {}, "", 10000);
        EXPECT_EQ(run.exitCode, 2) << wrong;
        EXPECT_EQ(run.err.rfind("vantlo-provider: ", 0), 0u) << wrong;
    }
}

TEST(CommandLine, TheFirstLinesNameTheAddressAndTheCaAndSignalsEndCleanly) {
    // Without --data the state (the CA too) lives in a temporary directory
    // under TMPDIR, gone at the end; SIGINT ends the provider while a
    // connection is still open.
    const std::string tmp = testsupport::MakeTempDir("vantlo-provider-tmpdir-");
    const std::string script = "exec 3< <(TMPDIR=" + tmp + " exec " + testsupport::ProviderExecutable() +
                               " --tls); pid=$!; read -r a <&3; read -r b <&3; echo \"$a\"; echo \"$b\"; "
                               "test -s \"${b#ca-file }\" && echo ca-file-exists; "
                               "exec 4<>/dev/tcp/127.0.0.1/${a##*:}; kill -INT $pid; wait $pid; echo \"exit $?\"; "
                               "ls " +
                               tmp;
    testsupport::ProcessResult run = testsupport::RunProcess({"/bin/bash", "-c", script}, {}, "", 20000);
    const std::size_t port = run.out.find('\n');
    ASSERT_EQ(run.out.rfind("listening on 127.0.0.1:", 0), 0u) << run.out << run.err;
    EXPECT_EQ(run.out.substr(port + 1, 8 + tmp.size() + 17), "ca-file " + tmp + "/vantlo-provider-") << run.out;
    EXPECT_EQ(run.out.substr(run.out.find("/tls/ca.pem\n")), "/tls/ca.pem\nca-file-exists\nexit 0\n") << run.out;
    testsupport::RemoveTree(tmp);
}

}  // namespace
}  // namespace providertest
