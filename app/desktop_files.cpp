// The desktop's commands on the rows of the file list: moving, deleting (to
// the trash), a file's properties, the whole mails of its parts, and what a
// row's download or drag out fetches.
#include "app/desktop.h"
#include "app/desktop_run.h"

#include <map>

#include "catalog/mail_source.h"
#include "vault/sealed_files.h"

namespace app {

namespace {
// The largest mail source taken: a part's attachment in base64 and its text.
constexpr std::uint64_t kLargestMailSource = std::uint64_t{3} << 30;
}  // namespace

void Desktop::DeleteRows(const std::vector<std::size_t>& items) {
    MoveFilesAway(items, "", kTrashName);
}

void Desktop::MoveRows(const std::vector<std::size_t>& items, const std::string& targetFolderId) {
    if (OpenFolderIsVault() || FolderVault(targetFolderId) != VaultState::None) return SetStatus(kVaultMoveRefusedText);
    std::string shown = "\"" + FolderName(targetFolderId) + "\"";
    MoveFilesAway(items, folderIds_.StoreId(targetFolderId), shown);
}

// Every part of the rows' files goes to the target, the trash when it is
// empty: nothing is destroyed. The status line says what goes where, then
// what went, or why not.
void Desktop::MoveFilesAway(const std::vector<std::size_t>& items, const std::string& target,
                            const std::string& shownTarget) {
    std::vector<std::string> ids = MailIdsOf(files_, items);
    std::vector<std::string> names = NamesOf(files_, items);
    if (ids.empty()) return;
    const Work work = target.empty() ? Work::Delete : Work::Move;
    SetStatus(FilesMovingText(shownTarget, names.size()));
    Run<bool>(
        Lane::Session,
        [ids, target](catalog::MailStore& store, bool&) {
            return target.empty() ? store.DeleteMails(ids) : store.MoveMails(ids, target);
        },
        [work, names, shownTarget](Desktop& d, const catalog::Outcome& moved, const bool&) {
            d.ReportOutcome(work, moved);
            if (moved.Ok()) d.SetStatus(FilesMovedText(shownTarget, names));
            d.ListOpenFolder();
        });
}

void Desktop::ShowFileProperties(std::size_t item) {
    const FileRow* row = files_.Row(item);
    if (!row) return;
    std::string key = row->file.key;
    catalog::FileEntry listed = row->file;
    const bool sealed = files_.IsVault();
    Run<catalog::FileDetails>(
        Lane::Session,
        [key, listed, sealed](catalog::MailStore& store, catalog::FileDetails& details) {
            catalog::Outcome outcome = catalog::StatFile(store, key, details);
            // The listing already knows the group; the key's manifest says the rest.
            if (outcome.Ok() && details.entry.present.empty()) details.entry = listed;
            // A vault's file by its own name and size, as the list shows it.
            if (outcome.Ok() && sealed) {
                details.entry.name = listed.name;
                std::uint64_t plain = 0;
                if (vault::PlainSize(details.size, plain)) details.size = plain;
            }
            return outcome;
        },
        [key](Desktop& d, const catalog::Outcome& outcome, const catalog::FileDetails& details) {
            if (!outcome.Ok()) return d.ReportOutcome(Work::Properties, outcome);
            auto verdict = d.verdicts_.find(key);
            std::string text =
                FilePropertiesText(details, verdict == d.verdicts_.end() ? DownloadVerdict::NotYet : verdict->second);
            d.Tell([&](DesktopView& v) { v.PropertiesReady(text); });
        });
}

void Desktop::DownloadMail(std::size_t item, const std::filesystem::path& target) {
    const FileRow* row = files_.Row(item);
    if (!row) return;
    std::vector<std::pair<std::string, std::filesystem::path>> mails;
    for (const catalog::FilePart& part : row->file.present)
        mails.emplace_back(part.mailId, MailPathOf(target, part.number, row->file.parts));
    Run<bool>(
        Lane::Own,
        [mails](catalog::MailStore& store, bool&) {
            for (const auto& [id, path] : mails) {
                catalog::Outcome saved = catalog::SaveMailSource(store, id, path, kLargestMailSource);
                if (!saved.Ok()) return saved;
            }
            return catalog::Success();
        },
        [](Desktop& d, const catalog::Outcome& outcome, const bool&) {
            if (outcome.Ok())
                d.SetStatus(kAllDoneText);
            else
                d.ReportOutcome(Work::Download, outcome);
        });
}

// An open vault's files are fetched by their own names, which the list
// knows now: a later listing does not change what was dragged.
Desktop::FileFetch Desktop::Fetcher() const {
    catalog::TransferSettings settings;
    settings.transfers = pacing_.transfers;
    settings.partSize = pacing_.partSize;
    const std::string folderId = folderIds_.StoreId(files_.FolderId());
    std::shared_ptr<const vault::VaultKey> vaultKey = files_.IsVault() ? VaultKeyOf(folderId) : nullptr;
    std::map<std::string, std::string> names;  // file key: own name
    for (std::size_t i = 0; vaultKey && i < files_.Count(); ++i)
        names[files_.Row(i)->file.key] = files_.Row(i)->file.name;
    const bool vaultList = files_.IsVault();
    return [stores = stores_, settings, vaultKey, vaultList, folderId, names](const std::string& key,
                                                                              const std::filesystem::path& target) {
        auto named = names.find(key);
        if (vaultList && (!vaultKey || named == names.end())) return VaultNotOpened();
        return stores->Run([&](catalog::MailStore& store) {
            return vaultKey ? FetchSealed(store, *vaultKey, folderId, named->second, target, settings)
                            : Fetch(store, key, target, settings);
        });
    };
}

// The list's row as a download: a vault's file by its own name in its folder.
TransferRow Desktop::DownloadRow(const FileRow& row) const {
    TransferRow download;
    download.upload = false;
    download.key = row.file.key;
    download.name = row.file.name;
    download.size = row.file.size;
    download.sealed = files_.IsVault();
    if (download.sealed) {
        download.folderId = files_.FolderId();
        download.storeFolderId = folderIds_.StoreId(files_.FolderId());
    }
    return download;
}

}  // namespace app
