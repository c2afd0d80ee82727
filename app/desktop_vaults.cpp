// The desktop's vaults: which folders are vaults, opening one with its
// passphrase, making one. The keys live here for the run only; work that
// uses one holds it by shared ownership, and the last holder wipes it
// (vault::SecretBytes). Opening and making run on the session lane: the
// folder's listing waits for the key, and the desktop shows itself busy.
#include <memory>

#include "app/desktop.h"
#include "app/desktop_run.h"
#include "vault/sealed_files.h"
#include "vault/secret_bytes.h"
#include "vault/vault_mail.h"

namespace app {

namespace {

// The passphrase as the work holds it: wiped when the work is done with it.
struct Passphrase {
    std::string text;
    explicit Passphrase(std::string typed) : text(std::move(typed)) {}
    ~Passphrase() { vault::Wipe(text.data(), text.size()); }
    Passphrase(const Passphrase&) = delete;
    Passphrase& operator=(const Passphrase&) = delete;
};

struct MadeVault {
    std::string storeId;  // the folder made; empty when none was
    std::shared_ptr<const vault::VaultKey> key;
};

}  // namespace

catalog::Outcome FetchSealed(catalog::MailStore& store, const vault::VaultKey& vaultKey, const std::string& folderId,
                             const std::string& name, const std::filesystem::path& target,
                             const catalog::TransferSettings& settings) {
    catalog::GetReport report;
    return vault::GetSealedFile(store, vaultKey, folderId, name, target, settings, report);
}

catalog::Outcome VaultNotOpened() {
    return catalog::Failure(catalog::StoreCode::Refused, kVaultNotOpenedText);
}

VaultState Desktop::FolderVault(const std::string& folderId) const {
    const std::string storeId = folderIds_.StoreId(folderId);
    if (storeId.empty()) return VaultState::None;
    if (vaultKeys_.count(storeId)) return VaultState::Open;
    return vaults_.count(storeId) ? VaultState::Locked : VaultState::None;
}

std::shared_ptr<const vault::VaultKey> Desktop::VaultKeyOf(const std::string& storeFolderId) const {
    auto found = vaultKeys_.find(storeFolderId);
    return found == vaultKeys_.end() ? nullptr : found->second;
}

// A listing tells the truth about the folder: the tree's lock follows it,
// and a vault not yet opened asks for its passphrase once per opening.
void Desktop::VaultListed(const std::string& folderId, VaultState state) {
    const std::string storeId = folderIds_.StoreId(folderId);
    const bool known = vaults_.count(storeId) > 0;
    if (known != (state != VaultState::None)) {
        if (known)
            vaults_.erase(storeId), vaultKeys_.erase(storeId);
        else
            vaults_.insert(storeId);
        Tell([](DesktopView& v) { v.VaultsChanged(); });
    }
    if (state != VaultState::Locked || passphraseAsked_ == folderId) return;
    passphraseAsked_ = folderId;
    const std::string name = FolderName(folderId);
    Tell([&](DesktopView& v) { v.VaultPassphraseAsked(folderId, name, false); });
}

void Desktop::UnlockVault(const std::string& folderId, const std::string& passphrase) {
    const std::string storeId = folderIds_.StoreId(folderId);
    if (storeId.empty()) return;
    auto typed = std::make_shared<Passphrase>(passphrase);
    SetStatus(kVaultOpeningText);
    Run<std::shared_ptr<const vault::VaultKey>>(
        Lane::Session,
        [storeId, typed](catalog::MailStore& store, std::shared_ptr<const vault::VaultKey>& opened) {
            auto key = std::make_shared<vault::VaultKey>();
            std::vector<vault::VaultCopy> copies;
            catalog::Outcome outcome = vault::UnlockFolderVault(store, storeId, typed->text, *key, copies);
            if (outcome.Ok()) opened = std::move(key);
            return outcome;
        },
        [folderId, storeId](Desktop& d, const catalog::Outcome& outcome,
                            const std::shared_ptr<const vault::VaultKey>& key) {
            if (outcome.code == catalog::StoreCode::Refused) {
                d.SetStatus(kVaultWrongPassphraseText);
                const std::string name = d.FolderName(folderId);
                return d.Tell([&](DesktopView& v) { v.VaultPassphraseAsked(folderId, name, true); });
            }
            if (!outcome.Ok() || !key) return d.ReportOutcome(Work::OpenVault, outcome);
            d.vaults_.insert(storeId);
            d.vaultKeys_[storeId] = key;
            d.SetStatus(kVaultOpenedText);
            d.Tell([](DesktopView& v) { v.VaultsChanged(); });
            if (d.folderIds_.StoreId(d.openFolderId_) == storeId) d.ListOpenFolder();
        });
}

void Desktop::CreateVault(const std::string& parentId, const std::string& nameUtf8, const std::string& passphrase) {
    std::string storeParent = parentId.empty() ? std::string() : folderIds_.StoreId(parentId);
    if (!parentId.empty() && storeParent.empty())
        return ReportOutcome(Work::CreateVault, catalog::Failure(catalog::StoreCode::NotFound, "no such folder"));
    auto typed = std::make_shared<Passphrase>(passphrase);
    SetStatus(kVaultCreatingText);
    Run<MadeVault>(
        Lane::Session,
        [storeParent, nameUtf8, typed](catalog::MailStore& store, MadeVault& made) {
            catalog::Outcome outcome = store.CreateFolder(storeParent, nameUtf8, made.storeId);
            if (!outcome.Ok()) return outcome;
            auto key = std::make_shared<vault::VaultKey>();
            vault::VaultParameters parameters;
            outcome = vault::InitFolderVault(store, made.storeId, typed->text, {}, parameters, key.get());
            if (outcome.Ok()) made.key = std::move(key);
            return outcome;
        },
        [](Desktop& d, const catalog::Outcome& outcome, const MadeVault& made) {
            d.ReportOutcome(Work::CreateVault, outcome);
            // The new folder shows with the tree built afresh; a vault made opens.
            if (!made.storeId.empty()) d.Tell([](DesktopView& v) { v.FoldersStale(); });
            if (!outcome.Ok() || !made.key) return;
            d.vaults_.insert(made.storeId);
            d.vaultKeys_[made.storeId] = made.key;
            d.OpenFolder(d.folderIds_.ViewId(made.storeId));
            d.SetStatus(kVaultCreatedText);
        });
}

}  // namespace app
