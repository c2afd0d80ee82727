// The options every front end (vantlo-cli, vantlo-mount, vantlo-dav, the
// desktop's settings) takes for the mailbox it opens, read by one table, so
// that each accepts and refuses the same values with the same words.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace mailbox {

struct MailboxOptions {
    std::string provider;  // [https://]HOST:PORT instead of the built-in servers
    std::string imapUrl;   // imaps://HOST[:PORT] or imap://HOST[:PORT]: an IMAP account instead
    std::string caFile;    // the only trusted roots for TLS
    std::string account;   // the mail address, domain included
    std::uint64_t partSize = std::uint64_t(32) << 20;
    unsigned transfers = 4;          // parts moving at once
    int timeoutMs = 60000;           // the longest the mailbox may stay silent
    std::filesystem::path cacheDir;  // empty: DefaultCacheDir()
};

enum class Taken {
    NotOurs,  // not one of the shared options: the front end's own, or an argument
    Taken,    // taken, with its value
    Refused,  // one of them, with a missing or wrong value: `problem` says which
};

// Takes the shared option at args[at], and its value (`at` then points at
// the value).
Taken TakeOption(const std::vector<std::string>& args, std::size_t& at, MailboxOptions& options, std::string& problem);

// The shared options' lines for a --help text.
std::string OptionsHelp();

// A size: decimal bytes, or with K, M or G (1024, 1024^2, 1024^3) after the
// digits ("32M"), within [least, most].
bool ParseSize(std::string_view text, std::uint64_t least, std::uint64_t most, std::uint64_t& size);
// A plain decimal number ("30", "2.5") within [least, most]; no signs,
// exponents, "nan" or "inf".
bool ParseNumber(std::string_view text, double least, double most, double& value);
// An IMAP URL the stores take: imaps:// or imap:// and a host.
bool IsImapUrl(std::string_view url);

}  // namespace mailbox
