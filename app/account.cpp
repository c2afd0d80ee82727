#include "app/account.h"

#include "mailbox/open.h"

namespace app {

namespace {

constexpr const char* kSchemes[] = {"imaps://", "imap://"};

bool IsPort(const std::string& text) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return std::stoul(text) > 0 && std::stoul(text) <= 65535;
}

bool IsHost(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (!plain) return false;
    }
    return true;
}

}  // namespace

std::optional<ImapAccount> ReadImapAccount(const std::string& typed) {
    for (const char* scheme : kSchemes) {
        std::string prefix(scheme);
        if (typed.compare(0, prefix.size(), prefix) != 0) continue;
        std::string rest = typed.substr(prefix.size());
        std::size_t at = rest.rfind('@');
        if (at == std::string::npos || at == 0) return std::nullopt;
        std::string server = rest.substr(at + 1);
        std::size_t colon = server.rfind(':');
        if (colon == std::string::npos) return std::nullopt;
        std::string host = server.substr(0, colon), port = server.substr(colon + 1);
        if (!IsHost(host) || !IsPort(port)) return std::nullopt;
        return ImapAccount{prefix + host + ":" + port, rest.substr(0, at)};
    }
    return std::nullopt;
}

AccountKind KindOf(const std::string& typed) {
    for (const char* scheme : kSchemes)
        if (typed.rfind(scheme, 0) == 0) return AccountKind::Imap;
    return AccountKind::Webmail;
}

catalog::Outcome OpenAccount(const std::string& typed, const std::string& password, const std::string& providerOverride,
                             SignedInAccount& account) {
    account = SignedInAccount{};
    account.name = typed;
    account.providerOverride = providerOverride;
    account.kind = KindOf(typed);
    mailbox::MailboxOptions options;
    options.provider = providerOverride;
    options.account = typed;
    if (account.kind == AccountKind::Imap) {
        std::optional<ImapAccount> imap = ReadImapAccount(typed);
        if (!imap) return catalog::Failure(catalog::StoreCode::Refused, "not an IMAP account: scheme://USER@HOST:PORT");
        options.imapUrl = imap->url;
        options.account = imap->user;
    }
    // The CA file, when set, comes from VANTLO_CA_FILE, as for every program.
    return mailbox::OpenMailbox(options, password, account.store);
}

}  // namespace app
