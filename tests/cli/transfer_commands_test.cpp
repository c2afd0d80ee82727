// put and get run as processes: against scripted answers for exact output,
// failures and the progress bar on a terminal, and against a real
// vantlo-provider for round trips of files of every shape.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "provider_process.h"
#include "run_process.h"
#include "scripted_server.h"

extern char** environ;

namespace {

using testsupport::HttpAnswer;
using testsupport::ProcessResult;
using testsupport::Reply;

const char kAccount[] = "demo@163.example";

std::vector<std::string> CliArgs(const std::string& provider, const std::vector<std::string>& args) {
    std::vector<std::string> all = {VANTLO_CLI_EXE, "--provider", provider, "--timeout", "10", "--account", kAccount};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

ProcessResult Cli(const std::string& provider, const std::vector<std::string>& args,
                  const std::string& password = "pw") {
    return testsupport::RunProcess(CliArgs(provider, args), {"VANTLO_PROVIDER=", "VANTLO_PASSWORD=" + password}, "",
                                   120000);
}

// Runs the program with standard error on a pseudo-terminal; `err` is what
// the terminal showed.
ProcessResult RunWithTerminal(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    ProcessResult result;
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return result;
    std::string terminal = ::ptsname(master);
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return result;
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) environment.push_back(*e);
    environment.insert(environment.end(), env.begin(), env.end());
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        int slave = ::open(terminal.c_str(), O_RDWR);
        int nothing = ::open("/dev/null", O_RDONLY);
        if (slave < 0 || nothing < 0) ::_exit(126);
        ::dup2(nothing, 0);
        ::dup2(out[1], 1);
        ::dup2(slave, 2);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {master, POLLIN, 0}};
    bool exited = false;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!exited && ::waitpid(pid, &status, WNOHANG) == pid) exited = true;
        int ready = ::poll(fds, 2, 50);
        bool any = false;
        for (int i = 0; ready > 0 && i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
                any = true;
            } else {
                fds[i].fd = -1;  // closed (a terminal reports EIO once its last user has gone)
            }
        }
        if (exited && !any) break;
    }
    if (!exited) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    } else if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    ::close(out[0]);
    ::close(master);
    return result;
}

std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xff);
    return bytes;
}

std::string Folders(const std::vector<int>& ids) {
    std::vector<std::string> rows;
    for (int id : ids)
        rows.push_back("{'id':" + std::to_string(id) + ",'name':'f" + std::to_string(id) +
                       "','stats':{'messageCount':1,'unreadMessageCount':0}}");
    return testsupport::OkListAnswer(rows);
}

std::string Page(const std::vector<std::vector<std::string>>& mails) {  // id, subject, size, attached
    std::vector<std::string> rows;
    for (const std::vector<std::string>& mail : mails)
        rows.push_back("{'id':'" + mail[0] + "','fid':1,'size':" + mail[2] + ",'subject':'" + mail[1] +
                       "','receivedDate':new Date(2026,0,1,0,0,0),'flags':{'attached':" + mail[3] + "}}");
    return testsupport::OkListAnswer(rows);
}

class TransferCli : public ::testing::Test {
protected:
    void SetUp() override { dir = testsupport::MakeTempDir("vantlo-cli-transfer-"); }
    void TearDown() override { testsupport::RemoveTree(dir.string()); }

    // The sign-in pair, then the given replies.
    void SignInThen(const std::vector<Reply>& replies) {
        server->PushAnswer(
            "HTTP/1.1 200 OK\r\nSet-Cookie: NTES_SESS=sess; Path=/\r\nSet-Cookie: S_INFO=1|0|s; Path=/\r\n"
            "Set-Cookie: P_INFO=demo@163.example|1|0; Path=/\r\n\r\n");
        server->PushAnswer(
            "HTTP/1.1 302 Found\r\nSet-Cookie: Coremail=14charsprefix1ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"
            "%x; Path=/\r\nLocation: http://" +
            server->HostPort() + "/coremail/index.jsp\r\n\r\n");
        for (const Reply& reply : replies) server->Push(reply);
    }
    static Reply Script(const std::string& body) {
        Reply reply;
        reply.bytes = HttpAnswer(body);
        return reply;
    }
    static Reply Raw(const std::string& bytes, Reply::Kind kind = Reply::Kind::Answer, int stallMs = 5000) {
        Reply reply;
        reply.kind = kind;
        reply.bytes = bytes;
        reply.stallMs = stallMs;
        return reply;
    }
    // Folder list, first look at the inbox, compose; the upload's reply is the caller's.
    std::vector<Reply> UpToTheUpload(const Reply& upload) {
        return {Script(Folders({1, 3, 65551})), Script(Page({})), Script("{'code':'S_OK','var':'c0ffee42'}"), upload};
    }
    std::size_t EntryCount() {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
    }

    std::unique_ptr<testsupport::ScriptedServer> server = std::make_unique<testsupport::ScriptedServer>();
    std::filesystem::path dir;
};

TEST_F(TransferCli, WrongArgumentsExitTwoBeforeAnythingIsSent) {
    WriteFile(dir / "a.txt", "a");
    const std::vector<std::vector<std::string>> cases = {
        {"put", (dir / "a.txt").string(), "12a"},
        {"put", (dir / "a.txt").string(), ""},
        {"get", "bad id", (dir / "o").string()},
        {"get", "", (dir / "o").string()},
        {"get", "m1", ""},
        {"put", (dir / "a.txt").string()},
        {"get", "m1"},
    };
    for (const auto& args : cases) {
        ProcessResult r = Cli(server->HostPort(), args);
        EXPECT_EQ(r.exitCode, 2) << args[0] << " " << args[1];
        EXPECT_FALSE(r.err.empty());
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_EQ(server->Connections(), 0);
}

TEST_F(TransferCli, UnreadableFilesExitOneBeforeAnythingIsSent) {
    std::filesystem::path big = dir / "big.bin";
    { std::ofstream touch(big); }
    std::filesystem::resize_file(big, std::uint64_t{1} << 31);  // sparse
    struct Case {
        std::string path;
        std::string says;
    } cases[] = {
        {(dir / "missing.txt").string(), "not a readable file"},
        {dir.string(), "not a readable file"},
        {big.string(), "too large"},
    };
    for (const Case& c : cases) {
        ProcessResult r = Cli(server->HostPort(), {"put", c.path, "1"});
        EXPECT_EQ(r.exitCode, 1) << c.path;
        EXPECT_EQ(Lines(r.err), 1u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_EQ(server->Connections(), 0);
}

TEST_F(TransferCli, PutPrintsOnlyTheMovedIdsWithoutATerminal) {
    WriteFile(dir / "report.txt", "figures");
    std::vector<Reply> replies = UpToTheUpload(Raw(HttpAnswer("ok"), Reply::Kind::AnswerStall));
    replies.push_back(Script("{'code':'S_OK','var':null}"));  // delivery
    replies.push_back(Script(Page({{"m-new", "report.txt", "900", "true"}})));
    replies.push_back(Script("{'code':'S_OK','var':null}"));  // move
    SignInThen(replies);
    ProcessResult r = Cli(server->HostPort(), {"put", (dir / "report.txt").string(), "65551"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "m-new\n");
    EXPECT_EQ(r.err, "");
    auto requests = server->Requests();
    ASSERT_EQ(requests.size(), 9u);
    EXPECT_NE(requests[5].find("filename=\"" + (dir / "report.txt").string() + "\""), std::string::npos);
    EXPECT_NE(requests[8].find("<int name=\"fid\">65551</int>"), std::string::npos);
}

TEST_F(TransferCli, PutIntoAnUnknownFolderUploadsNothing) {
    WriteFile(dir / "report.txt", "figures");
    SignInThen({Script(Folders({1, 3}))});
    ProcessResult r = Cli(server->HostPort(), {"put", (dir / "report.txt").string(), "65551"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no folder with id 65551"), std::string::npos) << r.err;
    EXPECT_EQ(server->Connections(), 3);
}

TEST_F(TransferCli, GetWritesTheAttachmentAndPrintsNothing) {
    std::string body = RandomBytes(70000, 5);
    SignInThen({Script(Folders({1, 65551})), Script(Page({{"m-1", "other", "10", "true"}})),
                Script(Page({{"m-2", "data.bin", "70900", "true"}})), Raw(HttpAnswer(body))});
    ProcessResult r = Cli(server->HostPort(), {"get", "m-2", (dir / "data.bin").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(ReadFile(dir / "data.bin") == body);
    EXPECT_NE(server->Requests().back().find("&mid=m-2&part=3&"), std::string::npos);
}

TEST_F(TransferCli, FailedGetsExitOneAndLeaveTheOutputAsItWas) {
    struct Case {
        std::string name;
        std::vector<Reply> replies;
        std::string says;
    } cases[] = {
        {"unknown id", {Script(Folders({1})), Script(Page({{"m-1", "a", "10", "true"}}))}, "no message with id m-2"},
        {"no attachment", {Script(Folders({1})), Script(Page({{"m-2", "a", "10", "false"}}))}, "has no attachment"},
        {"refused",
         {Script(Folders({1})), Script(Page({{"m-2", "a", "10", "true"}})),
          Raw("HTTP/1.1 403 Forbidden\r\nContent-Length: 6\r\n\r\ndenied")},
         "refused"},
        {"cut off",
         {Script(Folders({1})), Script(Page({{"m-2", "a", "10", "true"}})),
          Raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(50, 'x'))},
         "ended early"},
    };
    std::filesystem::path out = dir / "keep.bin";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(out, "precious");
        server = std::make_unique<testsupport::ScriptedServer>();
        SignInThen(c.replies);
        ProcessResult r = Cli(server->HostPort(), {"get", "m-2", out.string()});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(Lines(r.err), 1u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(ReadFile(out), "precious");
        EXPECT_EQ(EntryCount(), 1u);
    }
}

TEST_F(TransferCli, TerminalShowsTheUploadBarWhileTheAnswerIsAwaited) {
    WriteFile(dir / "moving.bin", RandomBytes(12345, 1));
    SignInThen(UpToTheUpload(Raw("", Reply::Kind::Stall, 700)));
    ProcessResult r = RunWithTerminal(CliArgs(server->HostPort(), {"put", (dir / "moving.bin").string(), "65551"}),
                                      {"VANTLO_PROVIDER=", "VANTLO_PASSWORD=pw"});
    EXPECT_EQ(r.exitCode, 1);  // the upload was never answered
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("12.1 KiB / 12.1 KiB 100% [" + std::string(24, '#') + "]"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("refused"), std::string::npos) << r.err;
}

TEST_F(TransferCli, TerminalShowsTheDownloadBarWithTheAnnouncedSize) {
    SignInThen({Script(Folders({1})), Script(Page({{"m-2", "a", "9000", "true"}})),
                Raw("HTTP/1.1 200 OK\r\nContent-Length: 6144\r\n\r\n" + std::string(3072, 'h'),
                    Reply::Kind::AnswerStall, 5000)});
    std::vector<std::string> args = CliArgs(server->HostPort(), {"get", "m-2", (dir / "half.bin").string()});
    args[4] = "1";  // --timeout: the stalled body ends the download after a second
    ProcessResult r = RunWithTerminal(args, {"VANTLO_PROVIDER=", "VANTLO_PASSWORD=pw"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("3.0 KiB / 6.0 KiB 50% [" + std::string(12, '#') + std::string(12, '.') + "]"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "half.bin"));
}

TEST_F(TransferCli, WithoutATerminalAFailedTransferPrintsOneLine) {
    WriteFile(dir / "moving.bin", RandomBytes(12345, 1));
    SignInThen(UpToTheUpload(Raw("", Reply::Kind::Stall, 700)));
    ProcessResult r = Cli(server->HostPort(), {"put", (dir / "moving.bin").string(), "65551"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(Lines(r.err), 1u) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
}

// Round trips through the real provider: put into a new folder, get back.
class ProviderTransfers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(provider.Running());
        dir = testsupport::MakeTempDir("vantlo-cli-roundtrip-");
        ProcessResult made = Run({"mkdir", "Drive"});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        folder = made.out.substr(0, made.out.find('\n'));
    }
    void TearDown() override { testsupport::RemoveTree(dir.string()); }
    ProcessResult Run(const std::vector<std::string>& args) { return Cli(provider.HostPort(), args, "vantlo-demo"); }
    // Ids listed in a folder (the first field of every line of ls).
    std::vector<std::string> Listed(const std::string& folderId) {
        ProcessResult r = Run({"ls", folderId});
        std::vector<std::string> ids;
        for (std::size_t start = 0, end; (end = r.out.find('\n', start)) != std::string::npos; start = end + 1)
            ids.push_back(r.out.substr(start, r.out.find('\t', start) - start));
        return ids;
    }

    testsupport::ProviderProcess provider;
    std::filesystem::path dir;
    std::string folder;
};

TEST_F(ProviderTransfers, FilesOfEveryShapeComeBackByteForByte) {
    struct Case {
        std::string name;
        std::size_t size;
    } cases[] = {
        {"empty.bin", 0},
        {"one.bin", 1},
        {"chunk.bin", 5120},
        {"chunk+1.bin", 5121},
        {"random 3 MiB.bin", 3u << 20},
        {"q1 & 报告 final.txt", 777},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = RandomBytes(c.size, static_cast<unsigned>(c.size) + 1);
        WriteFile(dir / c.name, bytes);
        ProcessResult put = Run({"put", (dir / c.name).string(), folder});
        ASSERT_EQ(put.exitCode, 0) << put.err;
        ASSERT_EQ(Lines(put.out), 1u) << put.out;
        std::string id = put.out.substr(0, put.out.size() - 1);

        std::vector<std::string> inTarget = Listed(folder);
        EXPECT_NE(std::find(inTarget.begin(), inTarget.end(), id), inTarget.end()) << "not in the target folder";
        std::vector<std::string> inInbox = Listed("1");
        EXPECT_EQ(std::find(inInbox.begin(), inInbox.end(), id), inInbox.end()) << "still in the inbox";

        ProcessResult get = Run({"get", id, (dir / ("back-" + c.name)).string()});
        ASSERT_EQ(get.exitCode, 0) << get.err;
        EXPECT_TRUE(ReadFile(dir / ("back-" + c.name)) == bytes) << "the bytes differ";
    }
}

TEST_F(ProviderTransfers, GetOfAnUnknownIdLeavesTheOutputAlone) {
    WriteFile(dir / "keep.bin", "precious");
    ProcessResult r = Run({"get", "no-such-id", (dir / "keep.bin").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no message with id no-such-id"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(dir / "keep.bin"), "precious");
}

}  // namespace
