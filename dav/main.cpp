// vantlo-dav: a tree served over WebDAV below a random token: on loopback,
// or beyond this machine over TLS to one user with a password.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "dav/memory_backend.h"
#include "dav/server.h"
#include "platform/password_input.h"
#include "vantlo/version.h"
#ifdef VANTLO_DAV_MAILBOX
#include <vector>

#include "dav/volume_backend.h"
#include "mailbox/cache_dir.h"
#include "mailbox/options.h"
#include "mount/passphrase_vaults.h"
#endif

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) {
    g_stop = true;
}

void PrintUsage() {
    std::cout << "Usage: vantlo-dav [OPTIONS] --account ADDRESS   (the mailbox)\n"
                 "       vantlo-dav [OPTIONS] --memory            (a tree in memory)\n"
                 "\n"
                 "Serves a tree over WebDAV (class 1 and 2) below a random path token: the URL\n"
                 "to give a WebDAV client is printed on the first line of standard output.\n"
                 "Without the token every request gets 404.\n"
                 "\n"
                 "Options:\n"
#ifdef VANTLO_DAV_MAILBOX
              << mailbox::OptionsHelp()
              << "  --connections N       connections to the mailbox at most (1 to 16, default 4)\n"
              << mount::kVaultOptionHelp
#endif
              << "  --memory              serve a tree kept in memory (lost at exit)\n"
                 "  --listen ADDRESS:PORT where to listen (default 127.0.0.1:0, a free port);\n"
                 "                        an address beyond 127.x.x.x needs the three below\n"
                 "  --tls-cert FILE       serve HTTPS with this certificate chain (PEM)...\n"
                 "  --tls-key FILE        ...and its key (PEM)\n"
                 "  --user NAME           clients must sign in as NAME (HTTP Basic, over TLS\n"
                 "                        only); the password is the first line of the file\n"
                 "                        named by --user-password-file, else of\n"
                 "                        VANTLO_DAV_USER_PASSWORD\n"
                 "  --user-password-file FILE\n"
                 "  --max-connections N   clients served at once (default 32)\n"
                 "The password is read from VANTLO_PASSWORD, else from one line of standard\n"
                 "input. A file PUT is answered once it is in the local journal; it is stored\n"
                 "in the mailbox after, and retried, as in vantlo-mount. Stop with Ctrl+C.\n";
}

int Usage(const std::string& message) {
    std::cerr << "vantlo-dav: " << message << "\nTry 'vantlo-dav --help'.\n";
    return 2;
}

bool ParseListen(const std::string& text, dav::ServerOptions& options) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size() || text.size() - colon > 6) return false;
    unsigned long port = 0;
    for (char c : text.substr(colon + 1)) {
        if (c < '0' || c > '9') return false;
        port = port * 10 + static_cast<unsigned long>(c - '0');
    }
    if (port > 65535) return false;
    options.address = text.substr(0, colon);
    options.port = static_cast<std::uint16_t>(port);
    return true;
}

#ifdef VANTLO_DAV_MAILBOX
std::filesystem::path DefaultCacheDir(const mailbox::MailboxOptions& options) {
    const std::filesystem::path base = mailbox::UserCacheDir();
    if (base.empty()) return {};
    return base / "dav" /
           mailbox::FoldedName(options.imapUrl.empty() ? options.account : options.account + "-" + options.imapUrl);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--version") {
        std::cout << "vantlo-dav " << vantlo::kVersion << "\n";
        return 0;
    }
    dav::ServerOptions options;
    bool memory = false;
#ifdef VANTLO_DAV_MAILBOX
    dav::VolumeBackendOptions mailbox;
    std::string vaultPassphraseFile;
    const std::vector<std::string> args(argv, argv + argc);
#endif
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
#ifdef VANTLO_DAV_MAILBOX
        std::string problem;
        std::size_t at = static_cast<std::size_t>(i);
        mailbox::Taken taken = mailbox::TakeOption(args, at, mailbox.mailbox, problem);
        i = static_cast<int>(at);
        if (taken == mailbox::Taken::Refused) return Usage(problem);
        if (taken == mailbox::Taken::Taken) {
            if (arg == "--part-size") mailbox.volume.partSize = mailbox.mailbox.partSize;
            if (arg == "--transfers") mailbox.volume.parallelParts = mailbox.mailbox.transfers;
            continue;
        }
#endif
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            PrintUsage();
            return 0;
        } else if (arg == "--memory") {
            memory = true;
        } else if (arg == "--listen") {
            if (!value(text) || !ParseListen(text, options)) return Usage("--listen takes ADDRESS:PORT");
        } else if (arg == "--tls-cert" || arg == "--tls-key" || arg == "--user") {
            if (!value(text) || text.empty()) return Usage(arg + " takes a value");
            (arg == "--tls-cert" ? options.tlsCert : arg == "--tls-key" ? options.tlsKey : options.user) = text;
        } else if (arg == "--user-password-file") {
            if (!value(text) || !platform::ReadSecretFile(text, options.password))
                return Usage("--user-password-file takes a readable file whose first line is the password");
        } else if (arg == "--max-connections") {
            if (!value(text)) return Usage("--max-connections takes a number");
            long count = std::strtol(text.c_str(), nullptr, 10);
            if (count < 1 || count > 1024) return Usage("--max-connections takes 1 to 1024");
            options.maxConnections = static_cast<std::size_t>(count);
#ifdef VANTLO_DAV_MAILBOX
        } else if (arg == "--connections") {
            long count = value(text) ? std::strtol(text.c_str(), nullptr, 10) : 0;
            if (count < 1 || count > 16) return Usage("--connections needs 1 to 16");
            mailbox.connections = static_cast<unsigned>(count);
        } else if (arg == "--vault-passphrase-file") {
            if (!value(vaultPassphraseFile) || vaultPassphraseFile.empty())
                return Usage("--vault-passphrase-file needs a file");
#endif
        } else {
            return Usage("unknown option " + arg);
        }
    }

    if (!options.user.empty() && options.password.empty()) {
        if (const char* password = std::getenv("VANTLO_DAV_USER_PASSWORD")) options.password = password;
        if (options.password.empty())
            return Usage("--user needs a password (--user-password-file or VANTLO_DAV_USER_PASSWORD)");
    }

    std::unique_ptr<dav::Backend> backend;
    if (memory) {
        backend.reset(new dav::MemoryBackend);
    } else {
#ifdef VANTLO_DAV_MAILBOX
        if (mailbox.mailbox.account.empty()) return Usage("--account (or --memory) is needed");
        mailbox.defaultCacheDir = mailbox.mailbox.cacheDir.empty();
        mailbox.cacheDir =
            mailbox.mailbox.cacheDir.empty() ? DefaultCacheDir(mailbox.mailbox) : mailbox.mailbox.cacheDir;
        if (mailbox.cacheDir.empty()) return Usage("no cache directory: set HOME, XDG_CACHE_HOME or --cache-dir");
        const std::string password = platform::ReadPasswordInput();
        std::string error;
        if (!mount::VaultsAtStart(vaultPassphraseFile, mailbox.volume.vaults, error)) return Usage(error);
        backend = dav::VolumeBackend::Open(mailbox, password, error);
        if (!backend) {
            std::cerr << "vantlo-dav: " << error << '\n';
            return 1;
        }
#else
        return Usage("this build serves --memory only (the mailbox needs the drive core)");
#endif
    }
    dav::Server server(*backend, options);
    std::string error;
    if (!server.Start(error)) {
        std::cerr << "vantlo-dav: " << error << '\n';
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::cout << server.Url() << std::endl;
    while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server.Stop();
    return 0;
}
