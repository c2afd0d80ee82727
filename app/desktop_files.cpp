// The desktop's commands on the rows of the file list: moving, deleting (to
// the trash), a file's properties and the whole mails of its parts.
#include "app/desktop.h"
#include "app/desktop_run.h"
#include "session/raw_message.h"
#include "webmail/webmail_store.h"

namespace app {

namespace {
// The largest mail source taken: a part's attachment in base64 and its text.
constexpr std::uint64_t kLargestMailSource = std::uint64_t{3} << 30;

// The whole mail as sent, into `path`. Only the webmail provider gives a
// mail's source; the catalog's stores carry files, not mails.
catalog::Outcome SaveMailSource(catalog::MailStore& store, const std::string& mailId,
                                const std::filesystem::path& path) {
    auto* webmail = dynamic_cast<webmail::WebmailStore*>(&store);
    if (!webmail)
        return catalog::Failure(catalog::StoreCode::Refused, "this mailbox gives no whole mails, only the files");
    session::Status status = session::DownloadRawMessage(webmail->Session(), mailId, path, kLargestMailSource);
    return webmail::OutcomeOf(status, webmail->Session().refusalCode, "download mail " + mailId);
}
}  // namespace

void Desktop::DeleteRows(const std::vector<std::size_t>& items) {
    std::vector<std::string> ids = MailIdsOf(files_, items);
    SetStatus(kDeletingText);
    // Every part of the rows' files goes to the trash; nothing is destroyed.
    Run<bool>(
        Lane::Session, [ids](catalog::MailStore& store, bool&) { return store.DeleteMails(ids); },
        [](Desktop& d, const catalog::Outcome& deleted, const bool&) {
            d.ReportOutcome(Work::Delete, deleted);
            d.ListOpenFolder([ok = deleted.Ok()](Desktop& d, bool listed) {
                if (ok && listed) d.SetStatus(kReadyText);
            });
        });
}

void Desktop::MoveRows(const std::vector<std::size_t>& items, const std::string& targetFolderId, bool checked) {
    std::vector<std::string> ids = MailIdsOf(files_, items);
    std::string target = folderIds_.StoreId(targetFolderId);
    if (checked) SetStatus(kMovingText);
    Run<bool>(
        Lane::Session, [ids, target](catalog::MailStore& store, bool&) { return store.MoveMails(ids, target); },
        [checked](Desktop& d, const catalog::Outcome& moved, const bool&) {
            d.ReportOutcome(Work::Move, moved);
            d.ListOpenFolder([checked, ok = moved.Ok()](Desktop& d, bool) {
                if (checked && ok) d.SetStatus(kMoveDoneText);
            });
        });
}

void Desktop::ShowFileProperties(std::size_t item) {
    const FileRow* row = files_.Row(item);
    if (!row) return;
    std::string key = row->file.key;
    catalog::FileEntry listed = row->file;
    Run<catalog::FileDetails>(
        Lane::Session,
        [key, listed](catalog::MailStore& store, catalog::FileDetails& details) {
            catalog::Outcome outcome = catalog::StatFile(store, key, details);
            // The listing already knows the group; the key's manifest says the rest.
            if (outcome.Ok() && details.entry.present.empty()) details.entry = listed;
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
                catalog::Outcome saved = SaveMailSource(store, id, path);
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

}  // namespace app
