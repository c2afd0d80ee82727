#include "cli/mailbox.h"

#include <cstdlib>
#include <mutex>

#include "catalog/file_sizes.h"
#include "catalog/format_values.h"
#include "cli/operation_arguments.h"
#include "platform/password_input.h"
#include "session/session_cache.h"
#include "imap/fetch_items.h"
#include "session/signin.h"

namespace cli {

namespace {

// What the sign-in hook of a store and its forks share across threads.
struct SignInAgainState {
    std::mutex lock;
    std::string account;
    std::string password;  // empty until needed when the session came from the cache
    std::filesystem::path cache;
};

// The cache directory's file for the account with the given ending.
std::filesystem::path CachePath(const std::string& account, const char* ending) {
    std::filesystem::path base;
#ifdef _WIN32
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA")) base = std::filesystem::path(local) / "Vantlo";
#else
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        base = std::filesystem::path(cache) / "vantlo";
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        base = std::filesystem::path(home) / ".cache" / "vantlo";
#endif
    if (base.empty()) return {};
    // One file per account; its address is folded to what any file system takes.
    std::string name;
    for (char c : account) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '@' || c == '.' || c == '-' || c == '_';
        name.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : plain ? c : '_');
    }
    return base / (name + ending);
}

}  // namespace

std::unique_ptr<catalog::MailStore> OpenStore(Context& context) {
    if (context.imapStore) return std::move(context.imapStore);
    auto store = std::make_unique<webmail::WebmailStore>(context.session);
    auto state = std::make_shared<SignInAgainState>();
    state->account = context.account;
    state->password = context.password;
    state->cache = context.sessionCache;
    store->SetSignInAgain([state](session::Session& session) {
        std::lock_guard<std::mutex> lock(state->lock);
        if (state->password.empty()) state->password = platform::ReadPasswordInput();
        bool ok = session::SignIn(session, state->account, session::EntryForAccount(state->account),
                                  state->password) == session::SignInResult::Ok;
        if (ok && !state->cache.empty()) session::SaveSessionCache(state->cache, session, state->account);
        return ok;
    });
    return store;
}

std::filesystem::path ManifestCachePath(const std::string& account) {
    return CachePath(account, ".manifests");
}

std::filesystem::path SessionCachePath(const std::string& account) {
    return CachePath(account, ".session");
}

catalog::Outcome FillSizes(Context& context, catalog::MailStore& store, std::vector<catalog::FileEntry>& files) {
    catalog::ManifestCache cache;
    const std::filesystem::path path = ManifestCachePath(context.account);
    if (!path.empty()) cache.Load(path);
    catalog::Outcome outcome = catalog::FillFileSizes(store, cache, files);
    // What was read is kept even when a read failed; a cache that cannot be
    // written only costs the next listing its reads.
    if (!path.empty()) cache.Save(path);
    return outcome;
}

std::string FileLine(const catalog::FileEntry& file) {
    std::string parts = std::to_string(file.parts);
    if (!file.Whole()) parts += " incomplete: " + file.Problems();
    if (file.damaged) parts += " damaged: its manifest does not read";
    return OutputField(file.name) + '\t' + (file.sizeKnown && !file.damaged ? std::to_string(file.size) : "-") + '\t' + parts + '\t' +
           (file.storedAt > 0 ? catalog::FormatUtc(file.storedAt) : "-") + '\t' + OutputField(file.key);
}

int OutcomeFailed(Context& context, const catalog::Outcome& outcome, const std::string& what) {
    return Fail(context, "could not " + what + ": " + OutputField(outcome.Text()));
}

bool CheckKeys(Context& context, std::vector<std::string>::const_iterator first,
               std::vector<std::string>::const_iterator last) {
    for (auto it = first; it != last; ++it) {
        imap::MailRef ref;
        if (context.imapUrl.empty() ? IsMessageId(*it) : imap::ParseMailId(*it, ref)) continue;
        Fail(context, "not a file key: '" + OutputField(*it) + "'");
        return false;
    }
    return true;
}

std::filesystem::path PathArgument(const std::string& utf8) {
    return std::filesystem::u8path(utf8);
}

std::string Shown(const std::filesystem::path& path) {
    auto text = path.u8string();
    return OutputField(std::string(text.begin(), text.end()));
}

}  // namespace cli
