#include "vault/sealed_files.h"

#include <system_error>

#include "catalog/catalog.h"
#include "catalog/sha256.h"
#include "vault/names.h"
#include "vault/records.h"
#include "vault/vault_file.h"
#include "vault/vault_mail.h"

namespace vault {
namespace {

// The staging copy's place: one directory per source (its path, size and
// time hashed), holding the sealed copy under its sealed name.
std::filesystem::path StagingDirectory(const std::filesystem::path& root, const VaultKey& key,
                                       const std::filesystem::path& source, std::error_code& error) {
    const std::filesystem::path absolute = std::filesystem::absolute(source, error);
    const auto size = std::filesystem::file_size(source, error);
    const auto time = std::filesystem::last_write_time(source, error).time_since_epoch().count();
    const std::string identity = absolute.u8string() + '\n' + std::to_string(size) + '\n' + std::to_string(time);
    catalog::Sha256 sha;
    sha.Update(identity.data(), identity.size());
    return root / HexText(key.VaultId()) / sha.FinishHex().substr(0, 32);
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
    const NameSealer names(key);
    std::vector<std::filesystem::path> staged;
    for (const std::filesystem::path& source : sources) {
        std::error_code error;
        const std::filesystem::path dir = StagingDirectory(stagingRoot, key, source, error);
        if (!error) std::filesystem::create_directories(dir, error);
        if (error)
            return catalog::Failure(catalog::StoreCode::LocalFile, "cannot stage " + source.u8string() + ": " +
                                                                       error.message());
        const std::string plainName = source.filename().u8string();
        const std::filesystem::path copy = dir / names.Seal(plainName);
        // An earlier run's copy is kept as it is: its file id and bytes are
        // what the parts already stored hold.
        if (!std::filesystem::exists(copy, error))
            if (catalog::Outcome sealed = SealFile(key, source, copy); !sealed.Ok()) return sealed;
        staged.push_back(copy);
    }
    catalog::Outcome outcome = catalog::PutFiles(store, staged, folderId, settings, reports);
    for (std::size_t i = 0; i < reports.size() && i < sources.size(); ++i) {
        reports[i].source = sources[i];
        if (reports[i].outcome.Ok()) {
            std::error_code error;
            std::filesystem::remove_all(staged[i].parent_path(), error);
        }
    }
    return outcome;
}

catalog::Outcome GetSealedFile(catalog::MailStore& store, const VaultKey& key, const std::string& folderId,
                               const std::string& name, const std::filesystem::path& target,
                               const catalog::TransferSettings& settings, catalog::GetReport& report) {
    const std::string sealedName = NameSealer(key).Seal(name);
    std::vector<catalog::FileEntry> found;
    if (catalog::Outcome searched = catalog::FindFiles(store, sealedName, folderId, found); !searched.Ok())
        return searched;
    const catalog::FileEntry* file = nullptr;
    for (const catalog::FileEntry& entry : found)
        if (entry.name == sealedName && entry.folderId == folderId) file = file ? file : &entry;
    if (!file) return catalog::Failure(catalog::StoreCode::NotFound, "no file '" + name + "' in the vault");
    std::filesystem::path sealedCopy = target;
    sealedCopy += ".vantlo-sealed";
    std::vector<catalog::GetReport> reports;
    catalog::Outcome outcome = catalog::GetFiles(store, {{file->key, sealedCopy}}, settings, reports);
    if (!reports.empty()) report = reports.front();
    if (!outcome.Ok()) return outcome;
    outcome = OpenFile(key, sealedCopy, target, name);
    std::error_code error;
    std::filesystem::remove(sealedCopy, error);
    return outcome;
}

}  // namespace vault
