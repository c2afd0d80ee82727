#include "vault/sealed_files.h"

#include <chrono>
#include <system_error>

#include "catalog/catalog.h"
#include "vault/names.h"
#include "vault/neutral_store.h"
#include "vault/opened_stream.h"
#include "vault/records.h"
#include "vault/sealed_stream.h"
#include "vault/vault_mail.h"

namespace vault {
namespace {

// Puts once sealed into a staging directory, and one killed midway left it
// behind (sealed bytes, as large as the files); one untouched for a day
// belongs to no run.
void RemoveStaleStaging(const std::filesystem::path& root) {
    std::error_code error;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (std::filesystem::directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        const auto changed = it->last_write_time(error);
        if (!error && it->path().filename().u8string().rfind("put-", 0) == 0 && now - changed > std::chrono::hours(24))
            std::filesystem::remove_all(it->path(), error);
    }
}

}  // namespace

bool PlainSize(std::uint64_t sealedSize, std::uint64_t& plainSize) {
    if (sealedSize < kHeaderLength + kTagLength) return false;
    const std::uint64_t body = sealedSize - kHeaderLength;
    const std::uint64_t records = (body + kSealedRecordSize - 1) / kSealedRecordSize;
    plainSize = body - records * kTagLength;
    return SealedSize(plainSize) == sealedSize;
}

catalog::Outcome ListSealedFiles(catalog::MailStore& store, const VaultKey& key, const std::string& folderId,
                                 std::vector<SealedEntry>& entries) {
    std::vector<catalog::FileEntry> files;
    if (catalog::Outcome listed = catalog::ListFiles(store, folderId, files); !listed.Ok()) return listed;
    const NameSealer names(key);
    entries.clear();
    for (catalog::FileEntry& file : files) {
        if (file.name == kVaultFileName) continue;
        SealedEntry entry;
        entry.nameOutcome = names.Open(file.name, entry.name);
        entry.file = std::move(file);
        entries.push_back(std::move(entry));
    }
    return catalog::Success();
}

catalog::Outcome PutSealedFiles(catalog::MailStore& store, const VaultKey& key,
                                const std::vector<std::filesystem::path>& sources, const std::string& folderId,
                                const std::filesystem::path& stagingRoot, const catalog::TransferSettings& settings,
                                std::vector<catalog::PutReport>& reports) {
    RemoveStaleStaging(stagingRoot);
    catalog::TransferSettings sealing = settings;
    sealing.storedForm = SealedForm(key);
    NeutralStore neutral(store);
    return catalog::PutFiles(neutral, sources, folderId, sealing, reports);
}

catalog::Outcome FindSealedFile(catalog::MailStore& store, const VaultKey& key, const std::string& folderId,
                                const std::string& name, catalog::FileEntry& file) {
    const std::string sealedName = NameSealer(key).Seal(name);
    std::vector<catalog::FileEntry> found;
    if (catalog::Outcome searched = catalog::FindFiles(store, sealedName, folderId, found); !searched.Ok())
        return searched;
    for (catalog::FileEntry& entry : found)
        if (entry.name == sealedName && entry.folderId == folderId) {
            file = std::move(entry);
            return catalog::Success();
        }
    return catalog::Failure(catalog::StoreCode::NotFound, "no file '" + name + "' in the vault");
}

catalog::Outcome GetSealedFile(catalog::MailStore& store, const VaultKey& key, const std::string& folderId,
                               const std::string& name, const std::filesystem::path& target,
                               const catalog::TransferSettings& settings, catalog::GetReport& report) {
    catalog::FileEntry file;
    if (catalog::Outcome found = FindSealedFile(store, key, folderId, name, file); !found.Ok()) return found;
    return GetSealedEntry(store, key, file, name, target, settings, report);
}

catalog::Outcome GetSealedEntry(catalog::MailStore& store, const VaultKey& key, const catalog::FileEntry& file,
                                const std::string& name, const std::filesystem::path& target,
                                const catalog::TransferSettings& settings, catalog::GetReport& report) {
    catalog::TransferSettings opening = settings;
    opening.openedForm = OpeningForm(key, name);
    std::vector<catalog::GetReport> reports;
    catalog::Outcome outcome = catalog::GetFiles(store, {{file.key, target}}, opening, reports);
    if (!reports.empty()) report = reports.front();
    // The engine names mails; the user knows the file by its plain name.
    if (!outcome.Ok()) return catalog::Failure(outcome.code, name + ": " + outcome.detail);
    return outcome;
}

}  // namespace vault
