// The command line, the first line of output, and a clean end on a signal.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "provider_process.h"
#include "raw_http.h"
#include "webmail_client.h"

namespace providertest {
namespace {

// A provider started by hand, its output on pipes.
class Started {
public:
    Started(std::vector<std::string> args, const std::string& tmpdir = "") {
        args.insert(args.begin(), testsupport::ProviderExecutable());
        int out[2], err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
            if (!tmpdir.empty()) ::setenv("TMPDIR", tmpdir.c_str(), 1);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~Started() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
        if (err_ >= 0) ::close(err_);
    }
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;

    // Standard output up to the first line break, within a bound.
    std::string FirstLine() {
        std::string line;
        while (line.find('\n') == std::string::npos) {
            pollfd entry{out_, POLLIN, 0};
            if (::poll(&entry, 1, 10000) <= 0) break;
            char c;
            if (::read(out_, &c, 1) != 1) break;
            line.push_back(c);
        }
        return line;
    }
    // Waits for the end (bounded); the exit status, or -1.
    int Wait(int ms = 10000) {
        for (int waited = 0; waited < ms; waited += 10) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    std::string ReadAll(int fd) {
        std::string text;
        char piece[4096];
        ssize_t n;
        while ((n = ::read(fd, piece, sizeof piece)) > 0) text.append(piece, static_cast<std::size_t>(n));
        return text;
    }
    std::string Out() { return ReadAll(out_); }
    std::string Err() { return ReadAll(err_); }
    void Signal(int number) { ::kill(pid_, number); }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool exited_ = false;
};

std::uint16_t FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof where;
    ::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size);
    ::close(fd);
    return ntohs(where.sin_port);
}

TEST(CommandLine, HelpDescribesEveryOption) {
    Started help({"--help"});
    EXPECT_EQ(help.Wait(), 0);
    std::string text = help.Out();
    for (const char* option : {"--listen", "--data", "--account", "--answer-style", "--idle-timeout",
                               "demo@163.example", "vantlo-demo", "listening on"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
}

TEST(CommandLine, WrongUsageExitsWithTwoAndSaysWhy) {
    const std::vector<std::vector<std::string>> cases = {
        {"--listen", "0.0.0.0:0"},
        {"--listen", "192.0.2.1:80"},
        {"--listen", "127.0.0.1:99999"},
        {"--listen", "127.0.0.1"},
        {"--listen"},
        {"--frobnicate"},
        {"--account", "no-password@x.example"},
        {"--account", "not an address:pw"},
        {"--answer-style", "loud"},
        {"--idle-timeout", "0"},
    };
    for (const std::vector<std::string>& args : cases) {
        Started provider(args);
        EXPECT_EQ(provider.Wait(), 2) << args[0];
        EXPECT_NE(provider.Err().find("vantlo-provider: "), std::string::npos) << args[0];
        EXPECT_EQ(provider.Out(), "") << args[0];
    }
}

TEST(CommandLine, FirstLineNamesTheAddressAndSigtermEndsCleanly) {
    const std::string tmp = testsupport::MakeTempDir("vantlo-provider-tmpdir-");
    const std::uint16_t port = FreePort();
    Started provider({"--listen", "127.0.0.1:" + std::to_string(port)}, tmp);
    EXPECT_EQ(provider.FirstLine(), "listening on 127.0.0.1:" + std::to_string(port) + "\n");
    // Without --data the state lives in a temporary directory under TMPDIR.
    std::vector<std::filesystem::path> made;
    for (const auto& entry : std::filesystem::directory_iterator(tmp)) made.push_back(entry.path());
    ASSERT_EQ(made.size(), 1u);
    EXPECT_TRUE(WebmailClient(port).SignIn("demo@163.example", "vantlo-demo"));
    provider.Signal(SIGTERM);
    EXPECT_EQ(provider.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(made[0]));  // removed at exit
    testsupport::RemoveTree(tmp);
}

TEST(CommandLine, SigintEndsEvenWithConnectionsOpen) {
    const std::string data = testsupport::MakeTempDir("vantlo-provider-sigint-");
    Started provider({"--data", data});
    const std::string line = provider.FirstLine();
    const std::string prefix = "listening on 127.0.0.1:";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    ASSERT_EQ(line.back(), '\n');
    const std::string digits = line.substr(prefix.size(), line.size() - prefix.size() - 1);
    ASSERT_FALSE(digits.empty());
    ASSERT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << line;
    const std::uint16_t port = static_cast<std::uint16_t>(std::stoi(digits));
    RawSocket open(port);
    RawSocket halfway(port);
    halfway.Send("GET /pubinfo/Vantlo HTTP/1.1\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    provider.Signal(SIGINT);
    EXPECT_EQ(provider.Wait(3000), 0);
    // --data stays.
    EXPECT_TRUE(std::filesystem::exists(data + "/accounts/demo@163.example/index.txt"));
    testsupport::RemoveTree(data);
}

}  // namespace
}  // namespace providertest
