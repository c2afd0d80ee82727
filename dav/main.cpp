// vantlo-dav: a tree served over WebDAV on loopback, below a random token.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "dav/memory_backend.h"
#include "dav/server.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

void PrintUsage() {
    std::cout << "Usage: vantlo-dav --memory [--listen 127.0.0.1:PORT]\n"
                 "\n"
                 "Serves a tree over WebDAV (class 1 and 2) on a loopback address, below a\n"
                 "random path token: the URL to give a WebDAV client is printed on the first\n"
                 "line of standard output. Without the token every request gets 404.\n"
                 "\n"
                 "Options:\n"
                 "  --memory              serve a tree kept in memory (lost at exit)\n"
                 "  --listen ADDRESS:PORT where to listen (default 127.0.0.1:0, a free port);\n"
                 "                        only loopback addresses are accepted\n"
                 "  --max-connections N   clients served at once (default 32)\n"
                 "Stop with Ctrl+C.\n";
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

}  // namespace

int main(int argc, char** argv) {
    dav::ServerOptions options;
    bool memory = false;
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
        } else {
            return Usage("unknown option " + arg);
        }
    }
    if (!memory) return Usage("name what to serve (--memory)");

    std::unique_ptr<dav::Backend> backend(new dav::MemoryBackend);
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
