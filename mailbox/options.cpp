#include "mailbox/options.h"

#include <cstdlib>

#include "session/provider_directory.h"

namespace mailbox {

namespace {

constexpr std::uint64_t kLargestPart = (std::uint64_t(1) << 31) - 1;
constexpr unsigned kMostTransfers = 16;
constexpr double kLongestTimeoutSeconds = 3600;

// One shared option: its name, its value's name and help, and what takes
// the value ("" when it is good, else why not).
struct Option {
    const char* name;
    const char* value;
    const char* help;
    std::string (*take)(const std::string& value, MailboxOptions& options);
};

const Option kOptions[] = {
    {"--provider", "[https://]HOST:PORT",
     "the webmail provider to use instead of the built-in servers (default: VANTLO_PROVIDER)",
     [](const std::string& v, MailboxOptions& o) -> std::string {
         session::Scheme scheme;
         std::string host;
         std::uint16_t port = 0;
         if (!session::ParseProviderOverride(v, scheme, host, port))
             return "--provider needs HOST:PORT or https://HOST:PORT";
         o.provider = v;
         return "";
     }},
    {"--imap", "URL",
     "an IMAP account instead: imaps://HOST[:PORT], or imap://HOST[:PORT] with STARTTLS (plain only to "
     "loopback); folder ids are then the folders' full names",
     [](const std::string& v, MailboxOptions& o) -> std::string {
         if (!IsImapUrl(v)) return "--imap needs imaps://HOST[:PORT] or imap://HOST[:PORT]";
         o.imapUrl = v;
         return "";
     }},
    {"--ca-file", "PATH", "trust only this PEM file's certificates for TLS (default: VANTLO_CA_FILE)",
     [](const std::string& v, MailboxOptions& o) -> std::string {
         if (v.empty()) return "--ca-file needs the path of a PEM file";
         o.caFile = v;
         return "";
     }},
    {"--account", "ADDRESS", "the account's mail address, domain included",
     [](const std::string& v, MailboxOptions& o) -> std::string {
         if (v.empty()) return "--account needs an address";
         o.account = v;
         return "";
     }},
    {"--part-size", "SIZE", "files larger than this are stored in parts (1 to below 2G, default 32M)",
     [](const std::string& v, MailboxOptions& o) -> std::string {
         if (!ParseSize(v, 1, kLargestPart, o.partSize))
             return "--part-size needs a size from 1 byte to below 2G, e.g. 32M, 512K, 1G";
         return "";
     }},
    {"--transfers", "N", "parts moving at once (1 to 16, default 4)",
     [](const std::string& v, MailboxOptions& o) -> std::string {
         std::uint64_t n = 0;
         if (v.find_first_of("KkMmGg") != std::string::npos || !ParseSize(v, 1, kMostTransfers, n))
             return "--transfers needs a number of parts at once from 1 to 16";
         o.transfers = static_cast<unsigned>(n);
         return "";
     }},
    {"--timeout", "SECONDS", "give up when the mailbox sends nothing for this long (1 to 3600, default 60)",
     [](const std::string& v, MailboxOptions& o) -> std::string {
         double seconds = 0;
         if (!ParseNumber(v, 1, kLongestTimeoutSeconds, seconds))
             return "--timeout needs a number of seconds from 1 to 3600";
         o.timeoutMs = static_cast<int>(seconds * 1000);
         return "";
     }},
    {"--cache-dir", "DIR", "where this account's caches live (default $XDG_CACHE_HOME/vantlo, else ~/.cache/vantlo)",
     [](const std::string& v, MailboxOptions& o) -> std::string {
         std::error_code error;
         std::filesystem::path dir = v.empty() ? std::filesystem::path() : std::filesystem::absolute(v, error);
         if (dir.empty() || error) return "--cache-dir needs a directory";
         o.cacheDir = dir;
         return "";
     }},
};

}  // namespace

Taken TakeOption(const std::vector<std::string>& args, std::size_t& at, MailboxOptions& options, std::string& problem) {
    problem.clear();
    for (const Option& option : kOptions) {
        if (args[at] != option.name) continue;
        if (at + 1 >= args.size()) {
            problem = std::string(option.name) + " needs " + option.value;
            return Taken::Refused;
        }
        problem = option.take(args[++at], options);
        return problem.empty() ? Taken::Taken : Taken::Refused;
    }
    return Taken::NotOurs;
}

std::string OptionsHelp() {
    std::string text;
    for (const Option& option : kOptions) {
        std::string head = std::string("  ") + option.name + " " + option.value;
        text += head + (head.size() < 24 ? std::string(24 - head.size(), ' ') : "\n" + std::string(24, ' '));
        // Wrapped at about 80 columns, continued under the help's start.
        std::string_view help = option.help;
        while (help.size() > 56) {
            std::size_t cut = help.rfind(' ', 56);
            if (cut == std::string_view::npos) break;
            text += std::string(help.substr(0, cut)) + "\n" + std::string(24, ' ');
            help.remove_prefix(cut + 1);
        }
        text += std::string(help) + "\n";
    }
    return text;
}

bool ParseSize(std::string_view text, std::uint64_t least, std::uint64_t most, std::uint64_t& size) {
    if (text.empty() || text.size() > 13) return false;
    std::uint64_t unit = 1;
    switch (text.back()) {
    case 'K':
    case 'k': unit = std::uint64_t(1) << 10; break;
    case 'M':
    case 'm': unit = std::uint64_t(1) << 20; break;
    case 'G':
    case 'g': unit = std::uint64_t(1) << 30; break;
    default: break;
    }
    if (unit != 1) text.remove_suffix(1);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return false;
    std::uint64_t value = 0;
    for (char c : text) value = value * 10 + static_cast<std::uint64_t>(c - '0');  // 13 digits at most: no overflow
    // "999999999999G" must not wrap around into the range.
    if (value > most / unit) return false;
    size = value * unit;
    return size >= least;
}

bool ParseNumber(std::string_view text, double least, double most, double& value) {
    const std::size_t dot = text.find('.');
    const std::size_t digits = text.find_first_not_of("0123456789");
    if (text.empty() || text.size() > 12 || dot == 0 || digits != dot ||
        (dot != std::string_view::npos && dot + 1 == text.size()) ||
        text.find_first_not_of("0123456789", dot == std::string_view::npos ? 0 : dot + 1) != std::string_view::npos)
        return false;
    value = std::strtod(std::string(text).c_str(), nullptr);
    return value >= least && value <= most;
}

bool IsImapUrl(std::string_view url) {
    for (std::string_view scheme : {std::string_view("imaps://"), std::string_view("imap://")})
        if (url.substr(0, scheme.size()) == scheme && url.size() > scheme.size() && url[scheme.size()] != ':' &&
            url[scheme.size()] != '/')
            return true;
    return false;
}

}  // namespace mailbox
