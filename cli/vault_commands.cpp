// vault init|passwd|status|ls|put|get: folders whose files' names and
// bytes are sealed on this machine (vault/). The passphrase comes from
// VANTLO_VAULT_PASSPHRASE (the new one of passwd from
// VANTLO_VAULT_NEW_PASSPHRASE), else from lines of standard input, a new
// one typed twice; it is asked once per run.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <ostream>
#include <string_view>

#include "catalog/catalog.h"
#include "catalog/format_values.h"
#include "catalog/local_name.h"
#include "cli/command.h"
#include "cli/mailbox.h"
#include "cli/operation_arguments.h"
#include "cli/remote_paths.h"
#include "cli/vault_commands.h"
#include "platform/password_input.h"
#include "vault/names.h"
#include "vault/sealed_files.h"
#include "vault/vault_mail.h"

namespace cli {
namespace {

// Reads one passphrase; a new one twice, the two must agree. Empty on
// failure, after saying why.
std::string ReadPassphrase(Context& context, const char* variable, const char* prompt, bool twice) {
    if (const char* value = std::getenv(variable); value && *value) return value;
    auto line = [&](const char* text) {
        context.err << text << std::flush;
        return platform::ReadHiddenLine();
    };
    std::string passphrase = line(prompt);
    if (passphrase.empty()) {
        Fail(context, "the vault passphrase is empty");
        return {};
    }
    if (twice && line("again: ") != passphrase) {
        Fail(context, "the two passphrases differ");
        return {};
    }
    return passphrase;
}

std::string Passphrase(Context& context) {
    return ReadPassphrase(context, "VANTLO_VAULT_PASSPHRASE", "vault passphrase: ", false);
}

int Init(Context& context, catalog::MailStore& store, const std::string& folderId) {
    const std::string passphrase = ReadPassphrase(context, "VANTLO_VAULT_PASSPHRASE", "new vault passphrase: ", true);
    if (passphrase.empty()) return kExitFailure;
    vault::VaultParameters parameters;
    catalog::Outcome outcome = vault::InitFolderVault(store, folderId, passphrase, {}, parameters);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "make folder " + folderId + " a vault");
    context.out << "vault-id\t" << vault::HexText(parameters.vaultId) << '\n';
    return kExitOk;
}

int Passwd(Context& context, catalog::MailStore& store, const std::string& folderId) {
    const std::string old = Passphrase(context);
    if (old.empty()) return kExitFailure;
    const std::string fresh = ReadPassphrase(context, "VANTLO_VAULT_NEW_PASSPHRASE", "new vault passphrase: ", true);
    if (fresh.empty()) return kExitFailure;
    catalog::Outcome outcome = vault::ChangeFolderPassphrase(store, folderId, old, fresh, {});
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "change the passphrase of vault " + folderId);
    return kExitOk;
}

}  // namespace

int UnlockVault(Context& context, catalog::MailStore& store, const std::string& folderId, vault::VaultKey& key,
                std::vector<vault::VaultCopy>& copies) {
    // Whether the folder is a vault at all is told before a passphrase is asked.
    catalog::Outcome outcome = vault::ReadFolderVault(store, folderId, copies);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "open vault " + folderId);
    const std::string passphrase = Passphrase(context);
    if (passphrase.empty()) return kExitFailure;
    outcome = vault::UnlockFolderVault(store, folderId, passphrase, key, copies);
    // A wrong passphrase is ours to tell, not the mailbox's refusal.
    if (outcome.code == catalog::StoreCode::Refused)
        return Fail(context, "could not open vault " + folderId + ": " + OutputField(outcome.detail));
    return outcome.Ok() ? kExitOk : OutcomeFailed(context, outcome, "open vault " + folderId);
}

int ListUnlockedVault(Context& context, catalog::MailStore& store, const std::string& folderId, vault::VaultKey& key,
                      std::vector<vault::VaultCopy>& copies, std::vector<vault::SealedEntry>& entries) {
    if (int unlocked = UnlockVault(context, store, folderId, key, copies); unlocked != kExitOk) return unlocked;
    catalog::Outcome outcome = vault::ListSealedFiles(store, key, folderId, entries);
    return outcome.Ok() ? kExitOk : OutcomeFailed(context, outcome, "list vault " + folderId);
}

std::filesystem::path VaultStagingRoot(const Context& context) {
    const std::filesystem::path cache = ManifestCachePath(context.account);
    return (cache.empty() ? std::filesystem::temp_directory_path() : cache.parent_path()) / "vault-staging";
}

namespace {

int Status(Context& context, catalog::MailStore& store, const std::string& folderId) {
    vault::VaultKey key;
    std::vector<vault::VaultCopy> copies;
    std::vector<vault::SealedEntry> entries;
    if (int listed = ListUnlockedVault(context, store, folderId, key, copies, entries); listed != kExitOk)
        return listed;
    std::size_t unreadable = 0;
    for (const vault::SealedEntry& entry : entries) unreadable += entry.nameOutcome.Ok() ? 0 : 1;
    const vault::KdfSettings& kdf = copies.front().parameters.kdf;
    context.out << "vault-id\t" << vault::HexText(key.VaultId()) << "\nformat\t" << vault::kFormatVersion
                << "\nkdf\targon2id memory=" << kdf.memoryKiB << "KiB passes=" << kdf.passes << " lanes=" << kdf.lanes
                << "\nfiles\t" << entries.size() - unreadable << "\nnot-sealed-here\t" << unreadable
                << "\nvault-files\t" << copies.size() << "\npassphrase\taccepted\n";
    return kExitOk;
}

// [--transfers N] [--part-size SIZE] then the rest.
bool TakeTransferOptions(Context& context, std::vector<std::string>& args, catalog::TransferSettings& settings) {
    while (args.size() >= 2 && (args[0] == "--transfers" || args[0] == "--part-size")) {
        bool ok = false;
        if (args[0] == "--part-size") {
            ok = ParsePartSize(args[1], settings.partSize);
        } else {
            char* end = nullptr;
            const unsigned long n = std::strtoul(args[1].c_str(), &end, 10);
            ok = !args[1].empty() && *end == '\0' && n >= 1 && n <= 16;
            settings.transfers = static_cast<unsigned>(n);
        }
        if (!ok) {
            UsageError(context, "bad value of " + args[0] + ": '" + OutputField(args[1]) + "'");
            return false;
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    return true;
}

// A sealed file as the user knows it: its own name and size.
void ShowOpened(catalog::FileEntry& file, const std::string& name) {
    file.name = name;
    std::uint64_t plain = 0;
    file.sizeKnown = file.sizeKnown && vault::PlainSize(file.size, plain);
    file.size = plain;
}

}  // namespace

const char* const kVaultMoveRefused =
    "a vault's file keeps its name and its folder: its name is sealed with its bytes, so a new name or "
    "another folder means storing it anew (get it, then put it again); nothing moves into or out of a vault";

int ListVault(Context& context, catalog::MailStore& store, const std::string& folderId) {
    vault::VaultKey key;
    std::vector<vault::VaultCopy> copies;
    std::vector<vault::SealedEntry> entries;
    if (int listed = ListUnlockedVault(context, store, folderId, key, copies, entries); listed != kExitOk)
        return listed;
    std::vector<catalog::FileEntry> files;
    for (const vault::SealedEntry& entry : entries) files.push_back(entry.file);
    catalog::Outcome outcome = FillSizes(context, store, files);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "list vault " + folderId);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        catalog::FileEntry& file = files[i];
        if (!entries[i].nameOutcome.Ok()) {
            context.err << "vantlo-cli: " << OutputField(file.key)
                        << " is not a file of this vault: " << OutputField(entries[i].nameOutcome.Text()) << '\n';
            continue;
        }
        ShowOpened(file, entries[i].name);
        context.out << FileLine(file) << '\n';
    }
    return kExitOk;
}

int PutIntoVault(Context& context, catalog::MailStore& store, const std::string& folderId,
                 const std::vector<std::filesystem::path>& sources, const catalog::TransferSettings& settings) {
    vault::VaultKey key;
    std::vector<vault::VaultCopy> copies;
    if (int unlocked = UnlockVault(context, store, folderId, key, copies); unlocked != kExitOk) return unlocked;
    std::vector<catalog::PutReport> reports;
    catalog::Outcome outcome =
        vault::PutSealedFiles(store, key, sources, folderId, VaultStagingRoot(context), settings, reports);
    for (const catalog::PutReport& report : reports) {
        if (report.alreadyStored > 0)
            context.err << "resumed: " << report.alreadyStored << " of " << report.parts << " parts already stored\n";
        if (report.outcome.Ok()) context.out << OutputField(report.key) << '\t' << Shown(report.source) << '\n';
    }
    return outcome.Ok() ? kExitOk : OutcomeFailed(context, outcome, "store into vault " + folderId);
}

int GetFromVault(Context& context, catalog::MailStore& store, const std::string& folderId, const std::string& name,
                 const std::filesystem::path& target, const catalog::TransferSettings& settings) {
    vault::VaultKey key;
    std::vector<vault::VaultCopy> copies;
    if (int unlocked = UnlockVault(context, store, folderId, key, copies); unlocked != kExitOk) return unlocked;
    catalog::GetReport report;
    catalog::Outcome outcome = vault::GetSealedFile(store, key, folderId, name, target, settings, report);
    if (report.alreadyVerified > 0)
        context.err << "resumed: " << report.alreadyVerified << " of " << report.parts
                    << " parts already fetched and verified\n";
    return outcome.Ok() ? kExitOk : OutcomeFailed(context, outcome, "fetch '" + name + "' from vault " + folderId);
}

int StatInVault(Context& context, catalog::MailStore& store, const std::string& folderId, const std::string& name) {
    vault::VaultKey key;
    std::vector<vault::VaultCopy> copies;
    if (int unlocked = UnlockVault(context, store, folderId, key, copies); unlocked != kExitOk) return unlocked;
    catalog::FileEntry file;
    catalog::FileDetails details;
    catalog::Outcome outcome = vault::FindSealedFile(store, key, folderId, name, file);
    if (outcome.Ok()) outcome = catalog::StatFile(store, file.key, details);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "look up '" + OutputField(name) + "' in the vault");
    std::uint64_t plain = 0;
    const bool sized = vault::PlainSize(details.size, plain);
    std::ostream& out = context.out;
    out << "name: " << OutputField(name) << "\nkey: " << OutputField(file.key) << "\nfolder: " << folderId
        << "\nsize: " << (sized ? std::to_string(plain) : "-") << "\nsha256: -\nsealed-size: " << details.size
        << "\nsealed-sha256: " << (details.sha256.empty() ? "-" : details.sha256)
        << "\nstored: " << (details.stored > 0 ? catalog::FormatUtc(details.stored) : "-")
        << "\nparts: " << details.entry.parts << '\n';
    for (const catalog::FilePart& part : details.entry.present)
        out << "part " << part.number << ": " << OutputField(part.mailId) << '\n';
    if (!details.entry.Whole()) out << "incomplete: " << details.entry.Problems() << '\n';
    return kExitOk;
}

int FindInVault(Context& context, catalog::MailStore& store, const std::string& folderId, const std::string& name) {
    vault::VaultKey key;
    std::vector<vault::VaultCopy> copies;
    if (int unlocked = UnlockVault(context, store, folderId, key, copies); unlocked != kExitOk) return unlocked;
    std::vector<catalog::FileEntry> files(1);
    catalog::Outcome outcome = vault::FindSealedFile(store, key, folderId, name, files[0]);
    if (outcome.code == catalog::StoreCode::NotFound) return kExitOk;  // found nothing, as a plain find
    if (outcome.Ok()) outcome = FillSizes(context, store, files);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "search the vault for '" + OutputField(name) + "'");
    ShowOpened(files[0], name);
    context.out << FileLine(files[0]) << '\t' << folderId << '\n';
    return kExitOk;
}

int GetVaultFolder(Context& context, catalog::MailStore& store, const std::string& folderId,
                   const std::filesystem::path& out, const catalog::TransferSettings& settings) {
    vault::VaultKey key;
    std::vector<vault::VaultCopy> copies;
    std::vector<vault::SealedEntry> entries;
    if (int listed = ListUnlockedVault(context, store, folderId, key, copies, entries); listed != kExitOk)
        return listed;
    int result = kExitOk;
    for (const vault::SealedEntry& entry : entries) {
        std::string local;
        if (!entry.nameOutcome.Ok()) {
            result = Fail(context, OutputField(entry.file.key) +
                                       " is not a file of this vault: " + OutputField(entry.nameOutcome.Text()));
            continue;
        }
        catalog::GetReport report;
        catalog::Outcome outcome = catalog::LocalNameFor(entry.name, local);
        if (outcome.Ok())
            outcome =
                vault::GetSealedFile(store, key, folderId, entry.name, out / PathArgument(local), settings, report);
        if (!outcome.Ok())
            result = OutcomeFailed(context, outcome, "fetch '" + OutputField(entry.name) + "' from the vault");
    }
    return result;
}

namespace {

// The folder below `id` that a tree's directory ("a/b") lands in when it is
// there already; empty when it is not.
std::string ExistingFolder(const catalog::FolderTree& tree, std::string id, const std::string& dir) {
    for (std::size_t at = 0; at <= dir.size();) {
        const std::size_t end = std::min(dir.find('/', at), dir.size());
        const catalog::FolderInfo* folder = tree.ChildNamed(id, std::string_view(dir).substr(at, end - at));
        if (!folder) return {};
        id = folder->id;
        at = end + 1;
    }
    return id;
}

}  // namespace

int RefuseVaultsBelow(Context& context, catalog::MailStore& store, const catalog::FolderTree& tree,
                      const std::string& rootId, bool rootToo, const std::vector<std::string>& dirs) {
    std::vector<std::string> existing;
    if (rootToo) existing.push_back(rootId);
    for (const std::string& dir : dirs)
        if (std::string id = ExistingFolder(tree, rootId, dir); !id.empty()) existing.push_back(std::move(id));
    for (const std::string& id : existing) {
        bool vault = false;
        if (catalog::Outcome outcome = IsVaultFolder(store, id, vault); !outcome.Ok())
            return OutcomeFailed(context, outcome, "look into folder " + id);
        if (vault)
            return Fail(context, "'/" + OutputField(tree.PathOf(id)) +
                                     "' is a vault: its files go in one by one (put FILE... FOLDER), sealed; its "
                                     "folders would show their names");
    }
    return kExitOk;
}

bool HoldsVaultFile(const std::vector<catalog::FileEntry>& files) {
    for (const catalog::FileEntry& file : files)
        if (file.name == vault::kVaultFileName) return true;
    return false;
}

catalog::Outcome IsVaultFolder(catalog::MailStore& store, const std::string& folderId, bool& isVault) {
    // The top is no folder (a search there searches every folder).
    isVault = false;
    if (folderId.empty()) return catalog::Success();
    std::vector<catalog::FileEntry> found;
    catalog::Outcome outcome = catalog::FindFiles(store, vault::kVaultFileName, folderId, found);
    isVault = outcome.Ok() && HoldsVaultFile(found);
    return outcome;
}

int RemoveFromVault(Context& context, catalog::MailStore& store, const std::string& folderId, const std::string& name) {
    vault::VaultKey key;
    std::vector<vault::VaultCopy> copies;
    if (int unlocked = UnlockVault(context, store, folderId, key, copies); unlocked != kExitOk) return unlocked;
    // Found by its sealed name, which one search finds: no listing.
    const std::string sealed = vault::NameSealer(key).Seal(name);
    std::vector<catalog::FileEntry> found;
    catalog::Outcome outcome = catalog::FindFiles(store, sealed, folderId, found);
    bool removed = false;
    for (const catalog::FileEntry& file : found) {
        if (!outcome.Ok()) break;
        if (file.name != sealed) continue;
        outcome = catalog::RemoveFile(store, file.key);
        removed = true;
    }
    if (outcome.Ok() && !removed) outcome = catalog::Failure(catalog::StoreCode::NotFound, "no such file in the vault");
    return outcome.Ok() ? kExitOk
                        : OutcomeFailed(context, outcome, "remove '" + OutputField(name) + "' from the vault");
}

namespace {

const char* const kUsage =
    "usage: vault init|passwd|status|ls FOLDER, vault put [--transfers N] [--part-size SIZE] FILE... FOLDER, "
    "vault get [--transfers N] FOLDER NAME OUT (FOLDER: a path or a folder id)";

int RunVault(Context& context, const std::vector<std::string>& arguments) {
    const std::string action = arguments[0];
    std::vector<std::string> args(arguments.begin() + 1, arguments.end());
    catalog::TransferSettings settings;
    if (!TakeTransferOptions(context, args, settings)) return kExitUsage;
    const bool oneFolder = action == "init" || action == "passwd" || action == "status" || action == "ls";
    if (args.empty() || (oneFolder && args.size() != 1) || (action == "put" && args.size() < 2) ||
        (action == "get" && args.size() != 3) || (!oneFolder && action != "put" && action != "get"))
        return UsageError(context, kUsage);
    const std::string folder = action == "get" ? args[0] : args.back();
    std::vector<std::filesystem::path> sources;
    if (action == "put")
        for (std::size_t i = 0; i + 1 < args.size(); ++i) {
            sources.push_back(PathArgument(args[i]));
            if (int checked = CheckPutSource(context, sources.back()); checked != kExitOk) return checked;
        }
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    std::string folderId;
    RemotePaths paths(context, *store);
    if (catalog::Outcome found = paths.ResolveFolder(folder, folderId); !found.Ok())
        return OutcomeFailed(context, found, "look up '" + OutputField(folder) + "'");
    if (action == "init") return Init(context, *store, folderId);
    if (action == "passwd") return Passwd(context, *store, folderId);
    if (action == "status") return Status(context, *store, folderId);
    if (action == "ls") return ListVault(context, *store, folderId);
    if (action == "put") return PutIntoVault(context, *store, folderId, sources, settings);
    return GetFromVault(context, *store, folderId, args[1], PathArgument(args[2]), settings);
}

const CommandRegistration registration{{"vault", "init|passwd|status|ls|put|get ...",
                                        "sealed folders: names and bytes the mailbox cannot read", 2, -1, false,
                                        RunVault}};

}  // namespace
}  // namespace cli
