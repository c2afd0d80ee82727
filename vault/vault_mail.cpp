#include "vault/vault_mail.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "catalog/catalog.h"
#include "catalog/transfers.h"

namespace vault {
namespace {

constexpr std::size_t kMostParametersBytes = 4096;

catalog::Outcome FetchParameters(catalog::MailStore& store, const std::string& key, std::string& text) {
    text.clear();
    bool tooLong = false;
    catalog::Outcome outcome = store.FetchAttachment(key, [&](const char* data, std::size_t size) {
        if (text.size() + size > kMostParametersBytes) {
            tooLong = true;
            return false;
        }
        text.append(data, size);
        return true;
    });
    if (tooLong) return catalog::Failure(catalog::StoreCode::Corrupt, "the vault file is too long to be one");
    return outcome;
}

// Stores the parameters as the folder's vault file, from a private
// temporary directory that is removed again.
catalog::Outcome StoreParameters(catalog::MailStore& store, const std::string& folderId,
                                 const VaultParameters& parameters) {
    std::error_code error;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path(error) / ("vantlo-vault-" + HexText(RandomBytes(8)));
    if (error || !std::filesystem::create_directory(dir, error))
        return catalog::Failure(catalog::StoreCode::LocalFile, "cannot make a temporary directory");
    const std::filesystem::path file = dir / kVaultFileName;
    std::ofstream(file, std::ios::binary) << FormatParameters(parameters);
    catalog::TransferSettings settings;
    settings.transfers = 1;
    std::vector<catalog::PutReport> reports;
    catalog::Outcome outcome = catalog::PutFiles(store, {file}, folderId, settings, reports);
    std::filesystem::remove_all(dir, error);
    return outcome;
}

}  // namespace

catalog::Outcome ReadFolderVault(catalog::MailStore& store, const std::string& folderId,
                                 std::vector<VaultCopy>& copies) {
    copies.clear();
    std::vector<catalog::FileEntry> files;
    if (catalog::Outcome listed = catalog::ListFiles(store, folderId, files); !listed.Ok()) return listed;
    std::vector<VaultCopy> found;
    for (const catalog::FileEntry& file : files) {
        if (file.name != kVaultFileName || !file.Whole()) continue;
        VaultCopy copy;
        copy.key = file.key;
        copy.storedAt = file.storedAt;
        std::string text;
        catalog::Outcome outcome = FetchParameters(store, file.key, text);
        if (outcome.Ok()) outcome = ParseParameters(text, copy.parameters);
        if (!outcome.Ok()) return outcome;
        if (!found.empty() && found.front().parameters.vaultId != copy.parameters.vaultId)
            return catalog::Failure(catalog::StoreCode::Corrupt, "two vault files of different vaults in one folder");
        found.push_back(std::move(copy));
    }
    if (found.empty()) return catalog::Failure(catalog::StoreCode::NotFound, "the folder is not a vault");
    std::stable_sort(found.begin(), found.end(),
                     [](const VaultCopy& a, const VaultCopy& b) { return a.storedAt > b.storedAt; });
    copies = std::move(found);
    return catalog::Success();
}

catalog::Outcome UnlockFolderVault(catalog::MailStore& store, const std::string& folderId, std::string_view passphrase,
                                   VaultKey& key, std::vector<VaultCopy>& copies) {
    if (catalog::Outcome read = ReadFolderVault(store, folderId, copies); !read.Ok()) return read;
    catalog::Outcome outcome;
    for (const VaultCopy& copy : copies) {
        outcome = UnlockVault(copy.parameters, passphrase, key);
        if (outcome.code != catalog::StoreCode::Refused) return outcome;
    }
    return outcome;
}

catalog::Outcome InitFolderVault(catalog::MailStore& store, const std::string& folderId, std::string_view passphrase,
                                 const KdfSettings& settings, VaultParameters& parameters, VaultKey* made) {
    std::vector<catalog::MailInfo> mails;
    if (catalog::Outcome listed = store.ListMails(folderId, mails); !listed.Ok()) return listed;
    if (!mails.empty())
        return catalog::Failure(
            catalog::StoreCode::Refused,
            "the folder is not empty (" + std::to_string(mails.size()) + " mails): a vault starts empty");
    VaultKey key;
    if (catalog::Outcome created = CreateVault(passphrase, settings, parameters, key); !created.Ok()) return created;
    catalog::Outcome stored = StoreParameters(store, folderId, parameters);
    if (stored.Ok() && made) *made = std::move(key);
    return stored;
}

catalog::Outcome ChangeFolderPassphrase(catalog::MailStore& store, const std::string& folderId,
                                        std::string_view oldPassphrase, std::string_view newPassphrase,
                                        const KdfSettings& settings) {
    VaultKey key;
    std::vector<VaultCopy> copies;
    if (catalog::Outcome opened = UnlockFolderVault(store, folderId, oldPassphrase, key, copies); !opened.Ok())
        return opened;
    VaultParameters parameters;
    if (catalog::Outcome wrapped = RewrapVault(key, newPassphrase, settings, parameters); !wrapped.Ok()) return wrapped;
    if (catalog::Outcome stored = StoreParameters(store, folderId, parameters); !stored.Ok()) return stored;
    std::vector<std::string> oldMails;
    for (const VaultCopy& copy : copies) {
        catalog::FileEntry entry;
        catalog::MailText keyMail;
        if (catalog::LocateFile(store, copy.key, entry, keyMail).Ok()) {
            std::vector<std::string> ids = entry.MailIds();
            oldMails.insert(oldMails.end(), ids.begin(), ids.end());
        }
    }
    if (oldMails.empty()) return catalog::Success();
    catalog::Outcome removed = store.DeleteMails(oldMails);
    if (!removed.Ok())
        return catalog::Failure(removed.code,
                                "the new passphrase is in place, but the old vault file could not be "
                                "moved to the trash (the old passphrase still opens it): " +
                                    removed.Text());
    return catalog::Success();
}

}  // namespace vault
