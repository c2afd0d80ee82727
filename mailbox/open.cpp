#include "mailbox/open.h"

#include <cstdlib>
#include <mutex>

#include "imap/imap_store.h"
#include "session/provider_directory.h"
#include "session/session_cache.h"
#include "session/signin.h"

namespace mailbox {

namespace {

// What the hook of a store and its forks share across threads.
struct SignInAgainState {
    std::mutex lock;
    std::string account;
    std::string password;  // guarded by lock; empty until needed when none was given
    PasswordSource source;
    std::filesystem::path cache;
};

}  // namespace

webmail::SignInAgain SignInAgainHook(const std::string& account, const std::string& password, PasswordSource source,
                                     const std::filesystem::path& sessionCache) {
    auto state = std::make_shared<SignInAgainState>();
    state->account = account;
    state->password = password;
    state->source = std::move(source);
    state->cache = sessionCache;
    return [state](session::Session& session) {
        std::lock_guard<std::mutex> lock(state->lock);
        if (state->password.empty() && state->source) state->password = state->source();
        const int entry = session::EntryForAccount(state->account);
        bool ok = entry != 0 && !state->password.empty() &&
                  session::SignIn(session, state->account, entry, state->password) == session::Status::Ok;
        if (ok && !state->cache.empty()) session::SaveSessionCache(state->cache, session, state->account);
        return ok;
    };
}

void ApplyToSession(const MailboxOptions& options, session::Session& session) {
    if (!options.provider.empty()) session.providerOverride = options.provider;
    if (!options.caFile.empty()) session.caFile = options.caFile;
    session.limits.idleTimeoutMs = options.timeoutMs;
}

catalog::Outcome OpenMailbox(const MailboxOptions& options, const std::string& password,
                             std::unique_ptr<catalog::MailStore>& store) {
    if (!options.imapUrl.empty()) {
        std::string caFile = options.caFile;
        if (caFile.empty())
            if (const char* env = std::getenv("VANTLO_CA_FILE")) caFile = env;
        imap::StoreLimits limits;
        limits.idleTimeoutMs = options.timeoutMs;
        return imap::OpenStore(options.imapUrl, options.account, password, caFile, limits, store);
    }
    const int entry = session::EntryForAccount(options.account);
    if (entry == 0)
        return catalog::Failure(catalog::StoreCode::Refused, "unsupported account domain in '" + options.account + "'");
    auto signedIn = std::make_unique<session::Session>();
    ApplyToSession(options, *signedIn);
    const session::Status status = session::SignIn(*signedIn, options.account, entry, password);
    if (status != session::Status::Ok) return webmail::OutcomeOf(status, {}, "sign-in");
    auto webmail = std::make_unique<webmail::WebmailStore>(std::move(signedIn));
    webmail->SetSignInAgain(SignInAgainHook(options.account, password, {}, {}));
    store = std::move(webmail);
    return catalog::Success();
}

}  // namespace mailbox
