#include "options.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>

#include "text_rules.h"

namespace provider {

namespace {

constexpr const char* kDemoAddress = "demo@163.example";

bool ParseNumber(const std::string& text, long low, long high, long& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::strtol(text.c_str(), nullptr, 10);
    return value >= low && value <= high;
}

bool ParseListen(const std::string& text, Options& options, std::string& error) {
    std::size_t colon = text.rfind(':');
    long port = 0;
    if (colon == std::string::npos || !ParseNumber(text.substr(colon + 1), 0, 65535, port)) {
        error = "--listen wants ADDRESS:PORT, e.g. 127.0.0.1:0";
        return false;
    }
    std::string address = text.substr(0, colon);
    if (address == "localhost") address = "127.0.0.1";
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1 || (ntohl(parsed.s_addr) >> 24) != 127) {
        error = "refusing to listen on " + address + ": only loopback addresses (127.x.x.x) are served";
        return false;
    }
    options.listenAddress = address;
    options.port = static_cast<std::uint16_t>(port);
    return true;
}

bool ParseAccountOption(const std::string& text, Options& options, std::string& error) {
    std::size_t colon = text.find(':');
    std::string address = text.substr(0, colon);
    if (colon == std::string::npos || colon + 1 == text.size()) {
        error = "--account wants ADDRESS:PASSWORD with a password that is not empty";
        return false;
    }
    if (!IsValidAddress(address)) {
        error = "not a usable account address: " + address +
                " (name@domain with letters, digits and . _ + -, at most 63 bytes)";
        return false;
    }
    options.accounts.emplace_back(address, text.substr(colon + 1));
    return true;
}

}  // namespace

const char* UsageText() {
    return "usage: vantlo-provider [--listen 127.0.0.1:PORT] [--data DIR] [--account ADDRESS:PASSWORD]...\n"
           "                       [--answer-style neat|field] [--idle-timeout SECONDS] [--help]\n"
           "\n"
           "A local stand-in for the webmail provider and the notice server that Vantlo talks to.\n"
           "Every role answers on one loopback port, told apart by path:\n"
           "  POST /logins.jsp                     sign-in server (cookies NTES_SESS, S_INFO, P_INFO)\n"
           "  GET  /coremail/fcg/ntesdoor2, /cgi/ntesdoor   entry servers (Coremail cookie, sid, Location)\n"
           "  POST /a/s?sid=SID&func=mbox:...      webmail functions, answered in script text\n"
           "  POST /a/p/upload.html                file upload into a compose session\n"
           "  GET  /js3/read/readdata.jsp          attachment download\n"
           "  GET  /pubinfo/Vantlo                 notice text\n"
           "\n"
           "  --listen ADDRESS:PORT   where to listen (default 127.0.0.1:0; port 0 picks a free port).\n"
           "                          Only loopback addresses are accepted.\n"
           "  --data DIR              keep accounts, folders, messages, attachments and sessions in DIR,\n"
           "                          so that a restart keeps them (default: a temporary directory that\n"
           "                          is removed at exit). Created when missing.\n"
           "  --account ADDRESS:PASSWORD\n"
           "                          an account to serve (repeatable); an existing one gets this password.\n"
           "                          Without any, the demo account demo@163.example with the password\n"
           "                          vantlo-demo is served, with some folders and files to show.\n"
           "  --answer-style neat|field\n"
           "                          neat (default): compact answers with exactly the members the client\n"
           "                          reads. field: answers as the provider in the field writes them (line\n"
           "                          breaks, extra members and flags, counters in a nested 'stats').\n"
           "  --idle-timeout SECONDS  how long a connection may stay silent (default 30).\n"
           "  --help                  this text.\n"
           "\n"
           "The first line on standard output is \"listening on ADDRESS:PORT\". SIGINT or SIGTERM\n"
           "end the provider cleanly.\n";
}

OptionsOutcome ParseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::string value;
        bool hasValue = false;
        std::size_t equals = option.find('=');
        if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
            hasValue = true;
        }
        if (option == "--help" || option == "-h") return OptionsOutcome::Help;
        const bool wantsValue = option == "--listen" || option == "--data" || option == "--account" ||
                                option == "--answer-style" || option == "--idle-timeout";
        if (!wantsValue) {
            error = "unknown option " + option;
            return OptionsOutcome::Error;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                error = option + " needs a value";
                return OptionsOutcome::Error;
            }
            value = argv[++i];
        }
        bool good = true;
        if (option == "--listen") {
            good = ParseListen(value, options, error);
        } else if (option == "--data") {
            good = !value.empty();
            if (!good) error = "--data needs a directory";
            options.dataDir = value;
        } else if (option == "--account") {
            good = ParseAccountOption(value, options, error);
        } else if (option == "--answer-style") {
            good = value == "neat" || value == "field";
            if (!good) error = "--answer-style is neat or field";
            options.style = value == "field" ? AnswerStyle::Field : AnswerStyle::Neat;
        } else {
            long seconds = 0;
            good = ParseNumber(value, 1, 3600, seconds);
            if (!good) error = "--idle-timeout wants seconds from 1 to 3600";
            options.idleTimeoutSeconds = static_cast<int>(seconds);
        }
        if (!good) return OptionsOutcome::Error;
    }
    if (options.accounts.empty()) {
        options.accounts.emplace_back(kDemoAddress, "vantlo-demo");
        options.demoAccount = true;
    }
    return OptionsOutcome::Run;
}

}  // namespace provider
