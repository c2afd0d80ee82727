#include "app/account.h"

#include <cstdlib>
#include <mutex>

#include "webmail/webmail_store.h"
#include "imap/imap_store.h"
#include "session/provider_directory.h"
#include "session/signin.h"

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

// What the store and its forks share to sign in again: the password stays
// in this process's memory only, as it did in the session.
struct SignInAgainState {
    std::mutex lock;
    std::string account;
    std::string password;
};

catalog::Outcome OpenWebmail(const std::string& typed, const std::string& password,
                             const std::string& providerOverride, SignedInAccount& account) {
    int entry = session::EntryForAccount(typed);
    if (entry == 0) return catalog::Failure(catalog::StoreCode::NotFound, "no such provider domain");
    auto session = std::make_unique<session::Session>();
    session->providerOverride = providerOverride;
    if (session::SignIn(*session, typed, entry, password) != session::SignInResult::Ok)
        return catalog::Failure(catalog::StoreCode::Refused, "sign-in refused");
    auto store = std::make_unique<webmail::WebmailStore>(std::move(session));
    auto state = std::make_shared<SignInAgainState>();
    state->account = typed;
    state->password = password;
    store->SetSignInAgain([state, entry](session::Session& again) {
        std::lock_guard<std::mutex> lock(state->lock);
        return session::SignIn(again, state->account, entry, state->password) == session::SignInResult::Ok;
    });
    account.store = std::move(store);
    return catalog::Success();
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

catalog::Outcome OpenAccount(const std::string& typed, const std::string& password,
                             const std::string& providerOverride, SignedInAccount& account) {
    account = SignedInAccount{};
    account.name = typed;
    account.providerOverride = providerOverride;
    account.kind = KindOf(typed);
    if (account.kind == AccountKind::Webmail) return OpenWebmail(typed, password, providerOverride, account);
    std::optional<ImapAccount> imap = ReadImapAccount(typed);
    if (!imap) return catalog::Failure(catalog::StoreCode::NotFound, "not an IMAP account: scheme://USER@HOST:PORT");
    const char* caFile = std::getenv("VANTLO_CA_FILE");
    return imap::OpenStore(imap->url, imap->user, password, caFile ? caFile : "", imap::StoreLimits{}, account.store);
}

}  // namespace app
