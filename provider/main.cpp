// vantlo-provider: a local stand-in for the webmail provider and the
// notice server. See UsageText() in options.cpp.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "connection_log.h"
#include "demo_account.h"
#include "http_server.h"
#include "options.h"
#include "send_limits.h"
#include "session_registry.h"
#include "store.h"
#include "text_rules.h"
#include "tls_setup.h"
#include "vantlo/version.h"

namespace {

// A temporary data directory, removed when the provider ends.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/vantlo-provider-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "vantlo-provider: %s\n", message.c_str());
    return 1;
}

bool AddAccounts(provider::Store& store, const provider::Options& options, std::string& error) {
    for (const auto& [address, password] : options.accounts) {
        bool created = false;
        if (!store.AddAccount(address, password, created, error)) return false;
        if (created && options.demoAccount && !provider::FillDemoAccount(store, provider::ToLowerAscii(address), error))
            return false;
    }
    // Seeded folders go to the first account.
    const std::string first = provider::ToLowerAscii(options.accounts.front().first);
    for (const provider::SeedFolder& seed : options.seedFolders) {
        bool made = false;
        if (!provider::SeedFolderFiles(store, first, seed, made, error)) return false;
        if (!made)
            std::fprintf(stderr, "vantlo-provider: %s has a folder %s already: not seeded\n", first.c_str(),
                         seed.name.c_str());
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--version") {
        std::printf("vantlo-provider %s\n", vantlo::kVersion);
        return 0;
    }
    provider::Options options;
    std::string error;
    switch (provider::ParseOptions(argc, argv, options, error)) {
    case provider::OptionsOutcome::Help: std::fputs(provider::UsageText(), stdout); return 0;
    case provider::OptionsOutcome::Error:
        std::fprintf(stderr, "vantlo-provider: %s\n\n%s", error.c_str(), provider::UsageText());
        return 2;
    case provider::OptionsOutcome::Run: break;
    }

    // Writes to a closed socket (or a closed standard output) are errors
    // to handle, not a reason to die. SIGINT and SIGTERM are taken by
    // sigwait below; every thread started from here on inherits the mask.
    ::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::unique_ptr<TemporaryDirectory> temporary;
    std::string dataDir = options.dataDir;
    if (dataDir.empty()) {
        temporary = std::make_unique<TemporaryDirectory>();
        if (temporary->Path().empty()) return Fail("cannot make a temporary data directory");
        dataDir = temporary->Path();
    }

    provider::Store store;
    provider::SessionRegistry sessions;
    sessions.SetLifetime(options.sessionTtlSeconds);
    if (!store.Open(dataDir, error) || !AddAccounts(store, options, error) ||
        !sessions.Open(dataDir + "/sessions.txt", error))
        return Fail(error);

    provider::ServerContext context{store, sessions};
    context.style = options.style;
    context.coding = options.coding;
    context.idleTimeoutMs = options.idleTimeoutSeconds * 1000;
    context.attachmentLimit = options.attachmentLimit;
    std::unique_ptr<provider::SendLimiter> limiter;
    if (options.sendLimits.shortCount >= 0 || options.sendLimits.daily >= 0) {
        limiter = std::make_unique<provider::SendLimiter>(options.sendLimits);
        context.sendLimiter = limiter.get();
    }
    provider::ConnectionLog log;
    if (!options.logFile.empty()) {
        if (!log.Open(options.logFile, error)) return Fail(error);
        context.log = &log;
    }
    provider::TlsFiles tlsFiles{"", options.tlsCert, options.tlsKey};
    provider::TlsContext tls;
    if (options.tls) {
        const std::string directory = std::filesystem::absolute(dataDir + "/tls").string();
        if (options.tlsCert.empty() && !provider::MakeTestCertificates(directory, tlsFiles, error)) return Fail(error);
        tls = provider::NewServerContext(tlsFiles, error);
        if (!tls) return Fail(error);
        context.tls = tls.get();
        context.scheme = "https";
    }

    provider::HttpServer server(context);
    if (!server.Listen(options.listenAddress, options.port, error)) return Fail(error);
    context.selfHost = options.listenAddress + ":" + std::to_string(server.Port());
    std::printf("listening on %s\n", context.selfHost.c_str());
    if (options.publicPort != 0) context.selfHost = options.listenAddress + ":" + std::to_string(options.publicPort);
    if (!tlsFiles.caFile.empty()) std::printf("ca-file %s\n", tlsFiles.caFile.c_str());
    std::fflush(stdout);

    std::thread serving([&server] {
        server.Run();
        // Run ends by itself only when accepting fails for good: end the
        // process the same way a signal would.
        if (!server.Stopping()) ::kill(::getpid(), SIGTERM);
    });
    int received = 0;
    ::sigwait(&stopSignals, &received);
    server.Stop();
    serving.join();
    return 0;
}
