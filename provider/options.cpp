#include "options.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "account_data.h"
#include "text_rules.h"

namespace provider {

namespace {

constexpr const char* kDemoAddress = "demo@163.example";

bool ParseNumber(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t& value) {
    if (text.empty() || text.size() > 12) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::strtoll(text.c_str(), nullptr, 10);
    return value >= low && value <= high;
}

bool ParseListen(const std::string& text, Options& options, std::string& error) {
    std::size_t colon = text.rfind(':');
    std::int64_t port = 0;
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

// NAME:COUNT or NAME:COUNT:BYTES; the name may hold colons itself.
bool ParseSeedFolder(const std::string& text, Options& options, std::string& error) {
    SeedFolder seed;
    std::string rest = text;
    auto takeNumber = [&rest](std::int64_t high, std::int64_t& value) {
        std::size_t colon = rest.rfind(':');
        if (colon == std::string::npos || !ParseNumber(rest.substr(colon + 1), 0, high, value)) return false;
        rest.resize(colon);
        return true;
    };
    std::int64_t last = 0, before = 0;
    bool good = takeNumber(64 * 1024 * 1024, last);
    if (good) {
        const std::string keep = rest;
        if (takeNumber(static_cast<std::int64_t>(kMaxMessages), before) && !rest.empty()) {
            seed.count = before;
            seed.bytes = last;
        } else {
            rest = keep;
            seed.count = last;
        }
    }
    seed.name = rest;
    if (!good || seed.count < 1 || seed.count > static_cast<std::int64_t>(kMaxMessages) ||
        seed.count * seed.bytes > (4LL << 30) || !IsValidFolderName(seed.name)) {
        error = "--seed-folder wants NAME:COUNT[:BYTES] (COUNT from 1 to 100000, BYTES up to 64 MiB, 4 GiB in all)";
        return false;
    }
    options.seedFolders.push_back(seed);
    return true;
}

bool ParseSendLimit(const std::string& text, Options& options, std::string& error) {
    std::size_t slash = text.find('/');
    if (slash == std::string::npos || !ParseNumber(text.substr(0, slash), 0, 1000000, options.sendLimits.shortCount) ||
        !ParseNumber(text.substr(slash + 1), 1, 86400, options.sendLimits.shortSeconds)) {
        error = "--send-limit wants N/SECONDS, e.g. 10/60 (SECONDS from 1 to 86400)";
        return false;
    }
    return true;
}

using OptionParser = std::function<bool(const std::string& value, Options& options, std::string& error)>;

// A number option: the value must be a whole number from `low` to `high`.
OptionParser Number(std::int64_t low, std::int64_t high, const char* what,
                    std::function<void(Options&, std::int64_t)> set) {
    return [=](const std::string& value, Options& options, std::string& error) {
        std::int64_t number = 0;
        if (!ParseNumber(value, low, high, number)) {
            error = what;
            return false;
        }
        set(options, number);
        return true;
    };
}

struct OptionSpec {
    const char* name;
    bool takesValue;
    OptionParser parse;
};

const std::vector<OptionSpec>& Specs() {
    static const std::vector<OptionSpec> specs = {
        {"--listen", true, ParseListen},
        {"--data", true,
         [](const std::string& value, Options& options, std::string& error) {
             options.dataDir = value;
             if (value.empty()) error = "--data needs a directory";
             return !value.empty();
         }},
        {"--account", true, ParseAccountOption},
        {"--answer-style", true,
         [](const std::string& value, Options& options, std::string& error) {
             options.style = value == "field" ? AnswerStyle::Field : AnswerStyle::Neat;
             if (value != "neat" && value != "field") error = "--answer-style is neat or field";
             return value == "neat" || value == "field";
         }},
        {"--answer-coding", true,
         [](const std::string& value, Options& options, std::string& error) {
             if (ParseAnswerCoding(value, options.coding)) return true;
             error = "--answer-coding is plain, chunked, gzip or chunked+gzip";
             return false;
         }},
        {"--idle-timeout", true,
         Number(1, 3600, "--idle-timeout wants seconds from 1 to 3600",
                [](Options& o, std::int64_t v) { o.idleTimeoutSeconds = static_cast<int>(v); })},
        {"--tls", false,
         [](const std::string&, Options& options, std::string&) {
             options.tls = true;
             return true;
         }},
        {"--tls-cert", true,
         [](const std::string& value, Options& options, std::string&) {
             options.tls = true;
             options.tlsCert = value;
             return true;
         }},
        {"--tls-key", true,
         [](const std::string& value, Options& options, std::string&) {
             options.tls = true;
             options.tlsKey = value;
             return true;
         }},
        {"--log", true,
         [](const std::string& value, Options& options, std::string& error) {
             options.logFile = value;
             if (value.empty()) error = "--log needs a file";
             return !value.empty();
         }},
        {"--attachment-limit", true,
         Number(0, kMaxAttachmentBytes, "--attachment-limit wants bytes from 0 to 2147483647",
                [](Options& o, std::int64_t v) { o.attachmentLimit = v; })},
        {"--session-ttl", true,
         Number(0, 366 * 86400, "--session-ttl wants seconds from 0 to 31622400",
                [](Options& o, std::int64_t v) { o.sessionTtlSeconds = v; })},
        {"--send-limit", true, ParseSendLimit},
        {"--daily-send-limit", true,
         Number(0, 1000000, "--daily-send-limit wants a number from 0 to 1000000",
                [](Options& o, std::int64_t v) { o.sendLimits.daily = v; })},
        {"--seed-folder", true, ParseSeedFolder},
        {"--public-port", true,
         Number(1, 65535, "--public-port wants a port from 1 to 65535",
                [](Options& o, std::int64_t v) { o.publicPort = static_cast<std::uint16_t>(v); })},
    };
    return specs;
}

}  // namespace

const char* UsageText() {
    return "usage: vantlo-provider [--listen 127.0.0.1:PORT] [--data DIR] [--account ADDRESS:PASSWORD]...\n"
           "                       [--answer-style neat|field] [--answer-coding CODING] [--idle-timeout SECONDS]\n"
           "                       [--tls | --tls-cert FILE --tls-key FILE] [--log FILE]\n"
           "                       [--attachment-limit BYTES] [--session-ttl SECONDS]\n"
           "                       [--send-limit N/SECONDS] [--daily-send-limit N]\n"
           "                       [--seed-folder NAME:COUNT[:BYTES]]... [--public-port PORT] [--help]\n"
           "       vantlo-provider --version\n"
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
           "  --answer-coding plain|chunked|gzip|chunked+gzip\n"
           "                          how script answers and downloads travel (default plain):\n"
           "                          Transfer-Encoding: chunked, Content-Encoding: gzip, or both.\n"
           "  --idle-timeout SECONDS  how long a connection may stay silent, and a TLS handshake may\n"
           "                          take (default 30).\n"
           "  --tls                   serve every role over TLS (1.2 and 1.3) with a test CA and a\n"
           "                          certificate for localhost and 127.0.0.1 kept in DIR/tls; the CA's\n"
           "                          path follows the first line as \"ca-file PATH\".\n"
           "  --tls-cert FILE --tls-key FILE\n"
           "                          serve TLS with this certificate (PEM, with its chain) and key.\n"
           "  --log FILE              append what each connection received: its request head (cookies\n"
           "                          and passwords hidden, never a body) and its byte count.\n"
           "  --attachment-limit BYTES\n"
           "                          larger uploads and deliveries are refused with FA_OVERFLOW\n"
           "                          (default 50000000).\n"
           "  --session-ttl SECONDS   a webmail session ends this long after it was opened; later\n"
           "                          requests get FA_INVALID_SESSION (default 1800).\n"
           "  --send-limit N/SECONDS  more than N deliveries of an account within SECONDS are refused\n"
           "                          with FA_MTA_REJECTED5521.\n"
           "  --daily-send-limit N    more than N deliveries of an account within 24 hours are refused\n"
           "                          with FA_MTA_REJECTED5520.\n"
           "  --public-port PORT      the port the entry servers name in the webmail host's address\n"
           "                          (default: the port listened on), for a relay in front that\n"
           "                          cannot rewrite it (TLS).\n"
           "  --seed-folder NAME:COUNT[:BYTES]\n"
           "                          at start, when the first account has no folder NAME yet, make it\n"
           "                          with COUNT stored files file-00001.bin... of BYTES bytes each\n"
           "                          (default 1000), in one change. Repeatable.\n"
           "  --help                  this text.\n"
           "  --version               print the version and end.\n"
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
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : Specs())
            if (option == candidate.name) spec = &candidate;
        if (spec == nullptr || (!spec->takesValue && hasValue)) {
            error = spec == nullptr ? "unknown option " + option : option + " takes no value";
            return OptionsOutcome::Error;
        }
        if (spec->takesValue && !hasValue) {
            if (i + 1 >= argc) {
                error = option + " needs a value";
                return OptionsOutcome::Error;
            }
            value = argv[++i];
        }
        if (!spec->parse(value, options, error)) return OptionsOutcome::Error;
    }
    if (options.tlsCert.empty() != options.tlsKey.empty()) {
        error = "--tls-cert and --tls-key go together";
        return OptionsOutcome::Error;
    }
    if (options.accounts.empty()) {
        options.accounts.emplace_back(kDemoAddress, "vantlo-demo");
        options.demoAccount = true;
    }
    return OptionsOutcome::Run;
}

}  // namespace provider
