#include "cli/mailbox.h"

#include "catalog/file_sizes.h"
#include "catalog/format_values.h"
#include "cli/operation_arguments.h"
#include "imap/fetch_items.h"
#include "mailbox/cache_dir.h"
#include "mailbox/open.h"
#include "platform/password_input.h"
#include "platform/text.h"

namespace cli {

std::unique_ptr<catalog::MailStore> OpenStore(Context& context) {
    if (context.imapStore) return std::move(context.imapStore);
    auto store = std::make_unique<webmail::WebmailStore>(context.session);
    store->SetSignInAgain(
        mailbox::SignInAgainHook(context.account, context.password, platform::ReadPasswordInput, context.sessionCache));
    return store;
}

std::filesystem::path ManifestCachePath(const std::string& account) {
    mailbox::MailboxOptions options;
    options.account = account;
    return mailbox::AccountCachePath(options, ".manifests");
}

std::filesystem::path SessionCachePath(const std::string& account) {
    mailbox::MailboxOptions options;
    options.account = account;
    return mailbox::AccountCachePath(options, ".session");
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
    return OutputField(file.name) + '\t' + (file.sizeKnown && !file.damaged ? std::to_string(file.size) : "-") + '\t' +
           parts + '\t' + (file.storedAt > 0 ? catalog::FormatUtc(file.storedAt) : "-") + '\t' + OutputField(file.key);
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

int CheckPutSource(Context& context, const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return Fail(context, "not a readable file: '" + Shown(file) + "'");
    const auto name = file.filename().u8string();
    if (!platform::IsCleanText(std::string(name.begin(), name.end())))
        return Fail(context, "cannot store '" + Shown(file) + "': its name holds control characters or is not UTF-8");
    return kExitOk;
}

}  // namespace cli
