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

#include "demo_account.h"
#include "http_server.h"
#include "options.h"
#include "session_registry.h"
#include "store.h"
#include "text_rules.h"

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
    return true;
}

}  // namespace

int main(int argc, char** argv) {
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
    if (!store.Open(dataDir, error) || !AddAccounts(store, options, error) ||
        !sessions.Open(dataDir + "/sessions.txt", error))
        return Fail(error);

    provider::ServerContext context{store, sessions, options.style, std::string(), options.idleTimeoutSeconds * 1000,
                                    30000};
    provider::HttpServer server(context);
    if (!server.Listen(options.listenAddress, options.port, error)) return Fail(error);
    context.selfHost = options.listenAddress + ":" + std::to_string(server.Port());

    std::printf("listening on %s\n", context.selfHost.c_str());
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
