// vantlo-cli run as a process. Against a real vantlo-provider over TLS:
// files in parts listed, found, fetched, moved and removed. Against a
// plain-http provider behind a fault server (the plain wire stays
// covered): wrong usage, hostile answers, a round trip, what an
// interrupted download leaves. And the progress line's texts.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "../catalog/scratch_files.h"
#include "cli/progress_bar.h"
#include "fault_server.h"
#include "loopback_socket.h"
#include "provider_process.h"
#include "run_process.h"

namespace {

using testsupport::Action;
using testsupport::Forward;
using testsupport::HttpAnswer;
using testsupport::ProcessResult;
using testsupport::ReadFile;
using testsupport::Script;
namespace fs = std::filesystem;

struct CliTest : ::testing::Test {
    fs::path dir = testsupport::MakeTempDir("vantlo-cli-test-");
    ~CliTest() override { testsupport::RemoveTree(dir.string()); }

    ProcessResult RunAt(const std::string& address, std::vector<std::string> args, const std::string& password,
                        const std::function<void(int)>& whileRunning = {}) {
        args.insert(args.begin(), {VANTLO_CLI_EXE, "--provider", address, "--timeout", "2", "--no-session-cache",
                                   "--account", "demo@163.example"});
        return testsupport::RunProcess(args,
                                       {"VANTLO_PROVIDER=", "VANTLO_CA_FILE=", "VANTLO_PASSWORD=" + password,
                                        "XDG_CACHE_HOME=" + (dir / "cache").string()},
                                       "", 60000, whileRunning);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        return testsupport::WriteFile(dir / name, bytes).string();
    }
};

struct CliFaultTest : CliTest {
    testsupport::ProviderProcess provider;
    testsupport::FaultServer relay{provider.Port()};
    ProcessResult Run(std::vector<std::string> args, const std::string& password = "vantlo-demo",
                      const std::function<void(int)>& whileRunning = {}) {
        return RunAt(relay.HostPort(), std::move(args), password, whileRunning);
    }
    // Lets the sign-in through, then takes `actions` for the connections that follow.
    void After(int forwarded, std::vector<Action> actions) {
        for (int i = 0; i < forwarded; ++i) relay.Push(Forward());
        for (Action& action : actions) relay.Push(std::move(action));
    }
};

TEST_F(CliFaultTest, WrongUsageAndLocalProblemsSendNothing) {
    const std::string file = Write("a.txt", "a"), tab = Write("tab\tname.txt", "x");
    // clang-format off
    const std::vector<std::vector<std::string>> usage = {
        {}, {"frobnicate"}, {"--speed-limit", "0", "folders"}, {"--speed-limit", "1.5", "folders"},
        {"--speed-time", "-1", "folders"}, {"--provider", "nohostport", "folders"}, {"mkdir", ""}, {"mkdir", "a\xff"},
        {"mkdir", "a\x7f"}, {"mkdir", "\xED\xA0\x80"}, {"mkdir", "line\nbreak"}, {"mkdir", std::string(64, 'n')},
        {"rename", "12", "x/y"}, {"ls", "--messages"}, {"ls", "-a", "1"}, {"put", "--part-size", "0", file, "1"},
        {"put", "--part-size", "2G", file, "1"}, {"put", "--part-size", "1K", file}, {"get", "m1", ""},
        {"find", ""}, {"find", "x", "y", "z"},
        // Paths: a level that cannot be a folder name, options out of place, too few places.
        {"mkdir", "-p"}, {"mkdir", "a/../b"}, {"mkdir", "-p", "ok/" + std::string(64, 'n')}, {"mkdir", "a", "b"},
        {"ls", "a", "b"}, {"rm", "-r"}, {"put", "-r", file}, {"get", "-r", "a"}, {"sync", "a"},
        {"sync", "--bogus", "a", "b"}, {"sync", "a", ""}, {"check", "a"}, {"stat"}};
    // clang-format on
    for (const auto& args : usage) {
        ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "" : args.back()) << r.err;
        EXPECT_EQ(r.out, "");
    }
    const std::tuple<std::vector<std::string>, std::string, std::string> failures[] = {
        {{"put", (dir / "missing").string(), "1"}, "vantlo-demo", "not a readable file"},
        {{"put", tab, "1"}, "vantlo-demo", "control characters"},
        {{"vault", "put", tab, "1"}, "vantlo-demo", "control characters"},  // sealing would hide the name, not mend it
        {{"folders"}, "", "the password is empty"},
        {{"folders"}, std::string(65, 'p'), "at most 64 bytes"},
        {{"--account", "ann@mail.example", "folders"}, "pw", "unsupported account domain"}};
    for (const auto& [args, password, says] : failures) {
        ProcessResult r = Run(args, password);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    }
    EXPECT_EQ(relay.Connections(), 0);
}

TEST_F(CliFaultTest, OutputLinesAndThePasswordFromStandardInput) {
    After(2, {Script(HttpAnswer(
                 "{'code':'S_OK','total':2,'var':[{'id':'m2','size':10,'subject':'b\\'s\tx','receivedDate':new "
                 "Date(2026,9,2,3,4,5),"
                 "'flags':{'attached':true}},{'id':'m1','size':7,'subject':'two\nlines','flags':{}}]}"))});
    ProcessResult ls = Run({"ls", "--messages", "3"});
    EXPECT_EQ(ls.out, "m2\t10\ttrue\t2026,10,2,3,4,5\tb's x\nm1\t7\tfalse\t\ttwo lines\n") << ls.err;
    ProcessResult signin = testsupport::RunProcess({VANTLO_CLI_EXE, "--provider", relay.HostPort(),
                                                    "--no-session-cache", "--account", "demo@163.example", "signin"},
                                                   {"VANTLO_PROVIDER=", "VANTLO_PASSWORD"}, "vantlo-demo\r\n");
    EXPECT_EQ(signin.out, "signed in as demo@163.example at " + relay.HostPort() + "\n") << signin.err;
}

TEST_F(CliFaultTest, HostileAnswersFailWithOneClearLine) {
    const std::string file = Write("report.txt", "figures");
    const std::string refusal = HttpAnswer("{'code':'FA_OVERFLOW','var':null}"),
                      exists = HttpAnswer("{'code':'FA_NAME_EXISTS'}");
    struct Case {
        std::vector<std::string> args;
        int forwarded;
        std::vector<Action> actions;
        std::string says;
    } cases[] = {
        {{"folders"}, 0, {Script("\x16\x03 garbage")}, "sign-in failed: the provider's answer was not understood"},
        {{"folders"}, 2, {Forward(Action::Cut, 300)}, "answer ended before it was complete"},
        {{"folders"}, 2, {Forward(Action::Reset, 300)}, "answer ended before it was complete"},
        {{"ls", "1"}, 2, {Forward(Action::Stall, 100)}, "did not answer in time"},
        {{"ls", "1"}, 2, {Script("SSH-2.0-x\r\n\r\n{'code':'S_OK','var':[]}")}, "answer was not understood"},
        {{"mkdir", "Docs"},
         2,
         {Script(exists)},
         "create folder 'Docs': the provider refused the request (FA_NAME_EXISTS)"},
        {{"put", file, "1"}, 5, {Script(refusal)}, "(FA_OVERFLOW)"},
        {{"put", file, "1"}, 2, {Forward(Action::Stall, 10)}, "did not answer in time"},
    };
    // A provider that cannot be reached is told apart from a refused password.
    std::uint16_t closedPort = 0;
    ::close(testsupport::LoopbackSocket(closedPort, true));
    const std::string closed = "127.0.0.1:" + std::to_string(closedPort);
    const std::pair<std::string, std::string> signIns[] = {
        {closed, "provider unreachable: connection refused (" + closed + ")"},
        {relay.HostPort(), "sign-in refused: wrong password or unknown user"},
    };
    for (const auto& [address, says] : signIns) {
        ProcessResult r = RunAt(address, {"folders"}, "not-the-password");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "vantlo-cli: " + says + "\n");
    }
    for (const Case& c : cases) {
        After(c.forwarded, c.actions);
        ProcessResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.says;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(CliFaultTest, FilesComeBackWholeAndInterruptedDownloadsLeaveTheTargetAlone) {
    const std::string bytes = "line one\r\n-----------------------------7d95d2346050c--\r\nafter it\r\n" +
                              std::string(300000, 'x') + "\r\n-----------------------------7d95d2346050c\r\nend";
    ProcessResult put = Run({"put", Write("r\xC3\xA9port.txt", bytes), "1"});
    ASSERT_EQ(put.exitCode, 0) << put.err;
    const std::string id = put.out.substr(0, put.out.find('\n'));
    for (const std::string& request : relay.Requests()) {
        if (request.find("upload.html") == std::string::npos) continue;
        EXPECT_NE(request.find("filename=\"r\xC3\xA9port.txt\""), std::string::npos) << "only the base name travels";
    }
    std::ofstream(dir / "target.bin") << "old";
    ::chmod((dir / "target.bin").c_str(), 0600);
    fs::create_symlink("target.bin", dir / "link.bin");
    ProcessResult get = Run({"get", id, (dir / "link.bin").string()});
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_TRUE(ReadFile(dir / "target.bin") == bytes);
    EXPECT_TRUE(fs::is_symlink(dir / "link.bin"));
    EXPECT_EQ(fs::status(dir / "target.bin").permissions(), fs::perms::owner_read | fs::perms::owner_write);

    auto parts = [&] {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(dir)) count += entry.path().extension() == ".vantlo-partial";
        return count;
    };
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        After(4, {Forward(Action::Stall, 1000)});
        // Killed once the stalled download is under way, so that no action is left for the next run.
        const int stalled = relay.Connections() + 5;
        ProcessResult r = Run({"get", id, (dir / "target.bin").string()}, "vantlo-demo", [&](int pid) {
            for (int waited = 0; (parts() == 0 || relay.Connections() < stalled) && waited < 10000; waited += 20)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ::kill(pid, signal);
        });
        EXPECT_EQ(r.exitCode, -1) << "ended by signal " << signal;
        EXPECT_TRUE(ReadFile(dir / "target.bin") == bytes);
        fs::remove(dir / "target.bin.vantlo-partial");
    }
    After(4, {Forward(Action::Trickle, 1000)});
    ProcessResult slow = Run({"--speed-time", "1", "get", id, (dir / "target.bin").string()});
    EXPECT_NE(slow.err.find("slower than the low-speed bound"), std::string::npos) << slow.err;
    EXPECT_EQ(parts(), 1) << "kept for the next run";
    EXPECT_EQ(Run({"get", id, (dir / "target.bin").string()}).exitCode, 0);
    EXPECT_EQ(parts(), 0);
}

TEST_F(CliTest, FilesInPartsAreListedFoundFetchedMovedAndRemovedOverTls) {
    testsupport::ProviderProcess provider({}, {"--tls", "--daily-send-limit", "9"});
    auto run = [&](std::vector<std::string> args, int exitCode = 0) {
        args.insert(args.begin(), {"--ca-file", provider.CaFile()});
        ProcessResult result = RunAt(provider.Address(), args, "vantlo-demo");
        EXPECT_EQ(result.exitCode, exitCode) << args[2] << result.err;
        return result.out.substr(0, result.out.find('\n'));
    };
    const std::string docs = run({"mkdir", "Docs"}), old = run({"mkdir", "Old"});
    std::string bytes;
    for (int i = 0; i < 1000; ++i) bytes += std::to_string(i * 7919 % 100000);
    const std::string key = run({"put", "--part-size", "1K", Write("r\xC3\xA9port.bin", bytes), docs});
    run({"put", Write("notes.txt", "hello"), docs});
    const std::string listed =
        RunAt(provider.Address(), {"--ca-file", provider.CaFile(), "ls", docs}, "vantlo-demo").out;
    // Name, size, parts, stored (UTC), key; in name order.
    std::istringstream rows(listed);
    std::string first, line;
    std::getline(std::getline(rows, first), line);
    EXPECT_EQ(line.rfind("r\xC3\xA9port.bin\t" + std::to_string(bytes.size()) + "\t5\t2", 0), 0u) << listed;
    EXPECT_EQ(line.substr(line.size() - key.size() - 2), "Z\t" + key) << listed;
    EXPECT_EQ(first.rfind("notes.txt\t5\t1\t2", 0), 0u) << listed;
    EXPECT_TRUE(fs::exists(dir / "cache" / "vantlo" / "demo@163.example.manifests"));
    const std::string stat =
        RunAt(provider.Address(), {"--ca-file", provider.CaFile(), "stat", key}, "vantlo-demo").out;
    for (const std::string& says :
         {"\nsize: " + std::to_string(bytes.size()) + "\n", std::string("\nparts: 5\npart 1: "),
          "\nfolder: " + docs + "\n", std::string("\npart 5: ")})
        EXPECT_NE(stat.find(says), std::string::npos) << stat;
    run({"get", key, (dir / "back.bin").string()});
    EXPECT_TRUE(ReadFile(dir / "back.bin") == bytes);
    EXPECT_EQ(run({"find", "PORT"}).substr(line.size()), "\t" + docs);
    // Folders by path as well as by id: found in, renamed, listed mail by mail.
    EXPECT_EQ(run({"find", "PORT", "Docs"}), run({"find", "PORT", docs}));
    run({"find", "PORT", "Nowhere"}, 1);
    run({"rename", "Docs", "Papers"});
    const std::string firstMail = run({"ls", "--messages", docs});
    EXPECT_NE(firstMail, "");
    EXPECT_EQ(run({"ls", "--messages", "Papers"}), firstMail) << "the folder under its new name";
    run({"rename", "Docs", "Other"}, 1);

    run({"mv", old, key});
    EXPECT_EQ(run({"ls", old}), line);
    run({"rm", key});
    EXPECT_EQ(run({"ls", old}), "");
    EXPECT_EQ(run({"ls", "4"}), line) << "in the trash";
    // The daily send limit stops a file after 3 of its parts: an incomplete file, said so.
    run({"put", "--part-size", "1K", "--transfers", "1", Write("big.bin", bytes), docs}, 1);
    const std::string incomplete =
        RunAt(provider.Address(), {"--ca-file", provider.CaFile(), "ls", docs}, "vantlo-demo").out;
    EXPECT_NE(incomplete.find("big.bin\t" + std::to_string(bytes.size()) + "\t5 incomplete: parts 4-5 missing\t"),
              std::string::npos)
        << incomplete;
}

TEST(ProgressLine, SizesSharesAndTimes) {
    const std::pair<std::int64_t, const char*> sizes[] = {{0, "0 B"},           {1023, "1023 B"},
                                                          {1024, "1.0 KiB"},    {1536, "1.5 KiB"},
                                                          {1048576, "1.0 MiB"}, {3LL << 30, "3.0 GiB"}};
    for (const auto& [bytes, text] : sizes) EXPECT_EQ(cli::SizeText(bytes), text);
    EXPECT_EQ(cli::ProgressLine(3072, 6144, 0),
              "3.0 KiB / 6.0 KiB 50% [" + std::string(12, '#') + std::string(12, '.') + "]");
    EXPECT_EQ(cli::ProgressLine(9000, 6144, 1024),
              "6.0 KiB / 6.0 KiB 100% [" + std::string(24, '#') + "] 1.0 KiB/s 0:00 left");
    EXPECT_EQ(cli::DurationText(3723), "1:02:03");
    EXPECT_EQ(cli::DurationText(-1), "--:--");
}

}  // namespace
