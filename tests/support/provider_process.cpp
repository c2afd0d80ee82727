#include "provider_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

namespace testsupport {

const char* ProviderExecutable() {
    return VANTLO_PROVIDER_EXE;
}

std::string MakeTempDir(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
    char* made = ::mkdtemp(pattern.data());
    return made ? std::string(made) : std::string();
}

void RemoveTree(const std::string& path) {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string NoiseBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

namespace {
namespace fs = std::filesystem;

// The TLS files the first TLS provider of this program made, kept for the
// others; removed when the program ends.
struct TlsTemplate {
    std::string dir;
    ~TlsTemplate() { RemoveTree(dir); }
};
TlsTemplate tlsTemplate;

bool Has(const std::vector<std::string>& args, const char* arg) {
    return std::find(args.begin(), args.end(), arg) != args.end();
}
}  // namespace

ProviderProcess::ProviderProcess(std::vector<std::string> accounts, std::vector<std::string> extraArgs,
                                 std::string dataDir)
    : dataDir_(std::move(dataDir)) {
    if (dataDir_.empty()) {
        dataDir_ = MakeTempDir("vantlo-provider-test-");
        ownsDataDir_ = true;
    }
    const bool madeTls = Has(extraArgs, "--tls") && !Has(extraArgs, "--tls-cert");
    std::error_code ignored;
    if (madeTls && !tlsTemplate.dir.empty() && !fs::exists(dataDir_ + "/tls"))
        fs::copy(tlsTemplate.dir, dataDir_ + "/tls", ignored);
    std::vector<std::string> args = {ProviderExecutable(), "--listen", "127.0.0.1:0", "--data", dataDir_};
    for (const std::string& account : accounts) {
        args.push_back("--account");
        args.push_back(account);
    }
    for (const std::string& extra : extraArgs) args.push_back(extra);

    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        // A crashed test must not leave its provider running (and holding
        // the test's output pipes open).
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    // The first line is "listening on 127.0.0.1:PORT"; with TLS the second
    // is "ca-file PATH".
    const int lines = madeTls ? 2 : 1;
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::count(line.begin(), line.end(), '\n') < lines && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char c[256];
        ssize_t n = ::read(out[0], c, sizeof c);
        if (n <= 0) break;
        line.append(c, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    std::size_t colon = line.rfind(':', line.find('\n'));
    if (line.rfind("listening on ", 0) == 0 && colon != std::string::npos)
        port_ = static_cast<std::uint16_t>(std::atoi(line.c_str() + colon + 1));
    std::size_t ca = line.find("\nca-file ");
    if (lines == 2 && ca != std::string::npos) caFile_ = line.substr(ca + 9, line.find('\n', ca + 9) - (ca + 9));
    if (lines == 2 && caFile_.empty()) port_ = 0;  // not serving as asked: not running
    if (madeTls && !caFile_.empty() && tlsTemplate.dir.empty()) {
        std::string dir = MakeTempDir("vantlo-tls-template-");
        fs::copy(dataDir_ + "/tls", dir, fs::copy_options::overwrite_existing, ignored);
        if (!ignored) tlsTemplate.dir = dir;
    }
}

void ProviderProcess::Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

ProviderProcess::~ProviderProcess() {
    Stop();
    if (ownsDataDir_) RemoveTree(dataDir_);
}

}  // namespace testsupport
