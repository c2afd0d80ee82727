// put, get: storing a local file into a folder and fetching a message's
// attachment back, with a progress bar on a terminal.
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>

#include "cli/command.h"
#include "cli/operation_arguments.h"
#include "cli/progress_bar.h"
#include "session/cells.h"
#include "session/download.h"
#include "session/folders.h"
#include "session/listing.h"
#include "session/store_file.h"
#include "session/upload.h"
#include "session/xml_text.h"

namespace cli {
namespace {

using session::CellText;
using session::Status;

// Arguments arrive as UTF-8 on every system (main takes them from the wide
// command line on Windows).
std::filesystem::path PathArgument(const std::string& utf8) {
    return std::filesystem::u8path(utf8);
}

std::string Shown(const std::filesystem::path& path) {
    auto text = path.u8string();
    return OutputField(std::string(text.begin(), text.end()));
}

// The bar runs only while standard error is a terminal; otherwise nothing
// but the command's own output and error lines appear.
std::unique_ptr<ProgressBar> BarFor(Context& context, std::function<TransferReading()> read) {
    if (!StandardErrorIsTerminal()) return nullptr;
    return std::make_unique<ProgressBar>(context.err, std::move(read));
}

bool FolderExists(session::Session& s, const std::string& folderId, Status& status) {
    session::ClearFolderTable(s.folderTable);
    status = session::GetAllFolders(s);
    if (status != Status::Ok) return false;
    std::size_t rows = session::UsedFolderRows(s.folderTable);
    for (std::size_t i = 0; i < rows; ++i)
        if (CellText(s.folderTable.rows[i].id) == folderId) return true;
    return false;
}

int StoreFailed(Context& context, Status status, const std::filesystem::path& file, const std::string& folderId) {
    switch (status) {
    case Status::FileError: return Fail(context, "cannot read '" + Shown(file) + "'");
    case Status::FileTooLarge:
        return Fail(context, "'" + Shown(file) + "' is too large: " + session::StatusText(status));
    case Status::BadName:
        return Fail(context, "cannot store '" + Shown(file) + "': its name holds control characters or is not UTF-8");
    case Status::NotFound:
        return Fail(context, "the stored mail of '" + Shown(file) +
                                 "' did not arrive in the inbox in time; nothing was moved to folder " + folderId);
    default: return OperationFailed(context, status, "store '" + Shown(file) + "' in folder " + folderId);
    }
}

int RunPut(Context& context, const std::vector<std::string>& args) {
    std::filesystem::path file = PathArgument(args[0]);
    const std::string& folderId = args[1];
    if (!IsFolderId(folderId)) return UsageError(context, "not a folder id: '" + OutputField(folderId) + "'");
    // Local problems are told before anything is sent.
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return Fail(context, "not a readable file: '" + Shown(file) + "'");
    if (!session::IsCleanText(session::UploadSubject(file)))
        return StoreFailed(context, Status::BadName, file, folderId);
    std::uint64_t size = std::filesystem::file_size(file, error);
    if (error) return Fail(context, "cannot read '" + Shown(file) + "'");
    if (size > session::kLargestUpload) return StoreFailed(context, Status::FileTooLarge, file, folderId);
    file = std::filesystem::absolute(file, error);
    if (error) return Fail(context, "cannot read '" + Shown(file) + "'");

    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    session::Session& s = context.session;
    Status status = Status::Ok;
    if (!FolderExists(s, folderId, status)) {
        if (status != Status::Ok) return OperationFailed(context, status, "list the folders");
        return Fail(context, "no folder with id " + folderId);
    }

    std::unique_ptr<ProgressBar> bar = BarFor(context, [&s] {
        return TransferReading{s.uploadIdle.load() == 0, s.uploadSent.load(), s.uploadTotal.load()};
    });
    auto onStage = [&](session::StoreStage stage) {
        if (!bar) return;
        if (stage == session::StoreStage::Uploaded) bar->SetNote("waiting for the mail in the inbox...");
        if (stage == session::StoreStage::Moving) bar->SetNote("moving it into folder " + folderId + "...");
    };
    session::StoreResult result = session::StoreFileInFolder(s, file, folderId, onStage);
    if (bar) bar->Stop();
    if (result.status != Status::Ok) return StoreFailed(context, result.status, file, folderId);
    for (const std::string& id : result.movedIds) context.out << id << '\n';
    return kExitOk;
}

// Finds the message among the newest page of every folder; its row stays in
// the session's messageTable, where the download reads its size.
const session::MessageRow* FindMessage(session::Session& s, const std::string& id, Status& status) {
    session::ClearFolderTable(s.folderTable);
    status = session::GetAllFolders(s);
    if (status != Status::Ok) return nullptr;
    std::size_t folders = session::UsedFolderRows(s.folderTable);
    for (std::size_t f = 0; f < folders; ++f) {
        session::ClearMessageTable(s.messageTable);
        status = session::ListMessages(s, std::string(CellText(s.folderTable.rows[f].id)), s.messageTable);
        if (status != Status::Ok) return nullptr;
        std::size_t rows = session::UsedMessageRows(s.messageTable);
        for (std::size_t i = 0; i < rows; ++i)
            if (CellText(s.messageTable.rows[i].id) == id) return &s.messageTable.rows[i];
    }
    return nullptr;
}

int RunGet(Context& context, const std::vector<std::string>& args) {
    const std::string& id = args[0];
    std::filesystem::path target = PathArgument(args[1]);
    if (!IsMessageId(id)) return UsageError(context, "not a message id: '" + OutputField(id) + "'");
    if (target.empty()) return UsageError(context, "the output path is empty");
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;

    session::Session& s = context.session;
    Status status = Status::Ok;
    const session::MessageRow* row = FindMessage(s, id, status);
    if (status != Status::Ok) return OperationFailed(context, status, "list the folders' messages");
    if (!row) return Fail(context, "no message with id " + id + " among the newest 50 of any folder");
    if (CellText(row->attached) != "true") return Fail(context, "message " + id + " has no attachment");

    std::unique_ptr<ProgressBar> bar = BarFor(context, [&s] {
        return TransferReading{s.downloadIdle.load() == 0, s.downloadReceived.load(), s.downloadTotal.load()};
    });
    status = session::DownloadAttachment(s, id, target);
    if (bar) bar->Stop();
    switch (status) {
    case Status::Ok: return kExitOk;
    case Status::FileError: return Fail(context, "cannot write '" + Shown(target) + "'");
    case Status::Incomplete:
    case Status::TooSlow:
    case Status::TimedOut:
    case Status::Unreadable:
    case Status::AnswerTooLarge:
        return Fail(context, "could not download message " + id + ": " + session::StatusText(status) + "; '" +
                                 Shown(target) + "' was left as it was");
    default: return OperationFailed(context, status, "download message " + id);
    }
}

CommandRegistration put({"put", "FILE FOLDER_ID", "store a file in a folder and print the id of its message", 2, 2,
                         false, RunPut});
CommandRegistration get({"get", "MESSAGE_ID OUT_PATH", "fetch a message's attachment into a file", 2, 2, false,
                         RunGet});

}  // namespace
}  // namespace cli
