// vantlo-dav: a tree served over WebDAV on loopback, below a random token.
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "dav/memory_backend.h"
#include "dav/server.h"
#ifdef VANTLO_DAV_MAILBOX
#include "dav/volume_backend.h"
#include "platform/password_input.h"
#endif

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

void PrintUsage() {
    std::cout << "Usage: vantlo-dav [OPTIONS] --account ADDRESS   (the mailbox)\n"
                 "       vantlo-dav [OPTIONS] --memory            (a tree in memory)\n"
                 "\n"
                 "Serves a tree over WebDAV (class 1 and 2) on a loopback address, below a\n"
                 "random path token: the URL to give a WebDAV client is printed on the first\n"
                 "line of standard output. Without the token every request gets 404.\n"
                 "\n"
                 "Options:\n"
                 "  --account ADDRESS     the account's mail address; its folders are the\n"
                 "                        directories, its files the files, as in vantlo-mount\n"
                 "  --provider [https://]HOST:PORT  the webmail provider instead of the built-in\n"
                 "                        servers (default: VANTLO_PROVIDER)\n"
                 "  --imap URL            an IMAP account instead (imaps://HOST[:PORT])\n"
                 "  --ca-file PATH        trust only this PEM file's certificates\n"
                 "  --cache-dir DIR       copies and pending stores (default\n"
                 "                        ~/.cache/vantlo/dav/ACCOUNT); one server or mount each\n"
                 "  --connections N       connections to the mailbox at most (1 to 16, default 4)\n"
                 "  --memory              serve a tree kept in memory (lost at exit)\n"
                 "  --listen ADDRESS:PORT where to listen (default 127.0.0.1:0, a free port);\n"
                 "                        only loopback addresses are accepted\n"
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
std::string Folded(const std::string& text) {
    std::string name;
    for (char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '@' || c == '.' || c == '-' || c == '_';
        name.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : plain ? c : '_');
    }
    return name;
}

std::filesystem::path DefaultCacheDir(const dav::MailboxOptions& mailbox) {
    std::filesystem::path base;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        base = std::filesystem::path(cache) / "vantlo";
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        base = std::filesystem::path(home) / ".cache" / "vantlo";
    if (base.empty()) return {};
    return base / "dav" / Folded(mailbox.imapUrl.empty() ? mailbox.account : mailbox.account + "-" + mailbox.imapUrl);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    dav::ServerOptions options;
    bool memory = false;
#ifdef VANTLO_DAV_MAILBOX
    dav::MailboxOptions mailbox;
#endif
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
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
        } else if (arg == "--max-connections") {
            if (!value(text)) return Usage("--max-connections takes a number");
            long count = std::strtol(text.c_str(), nullptr, 10);
            if (count < 1 || count > 1024) return Usage("--max-connections takes 1 to 1024");
            options.maxConnections = static_cast<std::size_t>(count);
#ifdef VANTLO_DAV_MAILBOX
        } else if (arg == "--account" || arg == "--provider" || arg == "--imap" || arg == "--ca-file" ||
                   arg == "--cache-dir") {
            if (!value(text) || text.empty()) return Usage(arg + " needs a value");
            if (arg == "--account") mailbox.account = text;
            else if (arg == "--provider") mailbox.provider = text;
            else if (arg == "--imap") mailbox.imapUrl = text;
            else if (arg == "--ca-file") mailbox.caFile = text;
            else mailbox.cacheDir = std::filesystem::absolute(text);
        } else if (arg == "--connections") {
            long count = value(text) ? std::strtol(text.c_str(), nullptr, 10) : 0;
            if (count < 1 || count > 16) return Usage("--connections needs 1 to 16");
            mailbox.connections = static_cast<unsigned>(count);
#endif
        } else {
            return Usage("unknown option " + arg);
        }
    }

    std::unique_ptr<dav::Backend> backend;
    if (memory) {
        backend.reset(new dav::MemoryBackend);
    } else {
#ifdef VANTLO_DAV_MAILBOX
        if (mailbox.account.empty()) return Usage("--account (or --memory) is needed");
        if (mailbox.cacheDir.empty()) mailbox.cacheDir = DefaultCacheDir(mailbox);
        if (mailbox.cacheDir.empty()) return Usage("no cache directory: set HOME, XDG_CACHE_HOME or --cache-dir");
        std::string error;
        backend = dav::VolumeBackend::Open(mailbox, platform::ReadPasswordInput(), error);
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
