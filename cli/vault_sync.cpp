#include "cli/vault_sync.h"

#include <algorithm>
#include <memory>

#include "catalog/drive_names.h"
#include "catalog/sha256.h"
#include "cli/operation_arguments.h"
#include "cli/vault_commands.h"
#include "platform/byte_reader.h"
#include "vault/names.h"
#include "vault/records.h"
#include "vault/sealed_files.h"
#include "vault/sealed_stream.h"

namespace cli {
namespace {

constexpr std::size_t kChunk = 1 << 20;

// `size` bytes of `in` through `digest`; false when they are not all there.
bool Digest(platform::ByteReader& in, std::uint64_t size, catalog::Sha256& digest) {
    std::vector<char> buffer(kChunk);
    for (std::uint64_t done = 0; done < size;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - done));
        if (!in.ReadAt(done, buffer.data(), want)) return false;
        digest.Update(buffer.data(), want);
        done += want;
    }
    return true;
}

// Two passes, as a put makes: the plain digest fixes the file id, then the
// sealed bytes are hashed as they are made.
catalog::Outcome SealedSha256(const vault::VaultKey& key, const catalog::LocalFile& file, const std::string& name,
                              std::string& sha256) {
    const std::unique_ptr<platform::ByteReader> plain = platform::OpenFileReader(file.source);
    catalog::Sha256 plainDigest, sealedDigest;
    if (!plain || !Digest(*plain, file.size, plainDigest))
        return catalog::Failure(catalog::StoreCode::LocalFile, file.path + " could not be read");
    const catalog::Sha256Digest digest = plainDigest.Finish();
    const vault::Bytes fileId = vault::SyntheticFileId(key, vault::Bytes(digest.begin(), digest.end()), name);
    const std::unique_ptr<platform::ByteReader> sealed = vault::OpenSealedReader(key, fileId, file.source, file.size);
    if (!sealed || !Digest(*sealed, vault::SealedSize(file.size), sealedDigest))
        return catalog::Failure(catalog::StoreCode::LocalFile, file.path + " changed while it was being read");
    sha256 = sealedDigest.FinishHex();
    return catalog::Success();
}

}  // namespace

bool WalkedVault(const std::vector<catalog::RemoteFile>& walked) {
    return std::any_of(walked.begin(), walked.end(),
                       [](const catalog::RemoteFile& file) { return file.path == catalog::kVaultFileName; });
}

std::vector<std::string> VaultsBelow(const std::vector<catalog::RemoteFile>& walked) {
    const std::string mark = std::string("/") + catalog::kVaultFileName;
    std::vector<std::string> vaults;
    for (const catalog::RemoteFile& file : walked)
        if (file.entry.name == catalog::kVaultFileName && file.path.size() > mark.size() &&
            file.path.compare(file.path.size() - mark.size(), mark.size(), mark) == 0)
            vaults.push_back(file.path.substr(0, file.path.size() - mark.size()));
    return vaults;
}

int OpenVaultSide(Context& context, catalog::MailStore& store, const std::string& folderId,
                  const std::vector<catalog::RemoteFile>& walked, VaultSide& side) {
    std::vector<vault::VaultCopy> copies;
    if (int unlocked = UnlockVault(context, store, folderId, side.key, copies); unlocked != kExitOk) return unlocked;
    const vault::NameSealer names(side.key);
    std::vector<catalog::Named> named;
    std::vector<std::string> plain;
    for (const catalog::RemoteFile& file : walked) {
        if (file.entry.name == catalog::kVaultFileName) continue;
        std::string name;
        catalog::Outcome opened = file.entry.folderId == folderId
                                      ? names.Open(file.entry.name, name)
                                      : catalog::Failure(catalog::StoreCode::Corrupt, "a vault holds no folders");
        if (!opened.Ok()) {
            context.err << "vantlo-cli: " << OutputField(file.path)
                        << " is not a file of this vault: " << OutputField(opened.Text()) << '\n';
            ++side.unopened;
            continue;
        }
        catalog::RemoteFile own = file;
        std::uint64_t size = 0;
        own.entry.sizeKnown = own.entry.sizeKnown && vault::PlainSize(own.entry.size, size);
        own.entry.size = size;
        side.files.push_back(std::move(own));
        named.push_back({name, file.entry.key});
        plain.push_back(std::move(name));
    }
    const std::vector<std::string> paths = catalog::UniqueNames(named);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        side.files[i].path = paths[i];
        side.plainNames[paths[i]] = plain[i];
    }
    std::sort(side.files.begin(), side.files.end(),
              [](const catalog::RemoteFile& a, const catalog::RemoteFile& b) { return a.path < b.path; });
    return kExitOk;
}

std::function<catalog::Outcome(const catalog::LocalFile&, std::string&)> SealedSha(const VaultSide& side) {
    return [&side](const catalog::LocalFile& file, std::string& sha256) {
        // A file the vault has no name for is compared with nothing: its own name will do.
        const auto plain = side.plainNames.find(file.path);
        return SealedSha256(side.key, file, plain == side.plainNames.end() ? file.path : plain->second, sha256);
    };
}

void FetchFromVault(catalog::MailStore& store, const VaultSide& side, const std::vector<catalog::RemoteFile>& files,
                    const std::filesystem::path& root, const catalog::TransferSettings& settings,
                    std::vector<catalog::TreeGetReport>& reports) {
    reports.clear();
    for (const catalog::RemoteFile& file : files) {
        catalog::TreeGetReport report{file.path, {}, {}};
        std::filesystem::path local;
        catalog::Outcome outcome = catalog::LocalPathBelow(root, file.path, false, local);
        if (outcome.Ok())
            outcome = vault::GetSealedEntry(store, side.key, file.entry, side.plainNames.at(file.path), local, settings,
                                            report.report);
        if (outcome.Ok()) report.target = local;
        report.report.outcome = outcome;
        reports.push_back(std::move(report));
    }
}

}  // namespace cli
