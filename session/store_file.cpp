#include "session/store_file.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/backoff.h"
#include "session/cells.h"
#include "session/listing.h"
#include "session/message_moves.h"
#include "session/tables.h"
#include "session/upload.h"
#include "session/xml_text.h"

namespace session {

namespace {
constexpr char kInbox[] = "1";


// Ids of the inbox's newest page whose subject is `subject`, in row order.
Status LookInInbox(Session& session, MessageTable& table, const std::string& subject, std::vector<std::string>& ids) {
    ClearMessageTable(table);
    Status status = ListMessages(session, kInbox, table);
    if (status != Status::Ok) return status;
    ids.clear();
    std::size_t rows = UsedMessageRows(table);
    for (std::size_t i = 0; i < rows; ++i)
        if (CellText(table.rows[i].subject) == subject) ids.emplace_back(CellText(table.rows[i].id));
    return Status::Ok;
}

bool HoldsNewId(const std::vector<std::string>& ids, const std::vector<std::string>& before) {
    for (const std::string& id : ids)
        if (std::find(before.begin(), before.end(), id) == before.end()) return true;
    return false;
}

// Looks until a mail of that subject that was not there before shows up,
// with growing pauses, within the bound.
Status WaitForDelivery(Session& session, MessageTable& table, const std::string& subject,
                       const std::vector<std::string>& before, const StoreOptions& options,
                       std::vector<std::string>& ids) {
    platform::Backoff pauses({options.firstPauseMs, options.longestPauseMs, options.searchBoundMs, false});
    const int firstLookDelayMs = std::min(options.firstLookDelayMs, std::max(0, options.searchBoundMs));
    if (firstLookDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(firstLookDelayMs));
    for (;;) {
        // A look that fails ends the search with its own failure; only a
        // mail that has not arrived yet is looked for again.
        Status status = LookInInbox(session, table, subject, ids);
        if (status != Status::Ok) return status;
        if (HoldsNewId(ids, before)) return Status::Ok;
        if (!pauses.Wait()) return Status::NotFound;
    }
}
}  // namespace

StoreResult StoreFileInFolder(Session& session, const std::filesystem::path& path, const std::string& targetFolderId,
                              const std::function<void(StoreStage)>& onStage, const StoreOptions& options) {
    auto report = [&](StoreStage stage) {
        if (onStage) onStage(stage);
    };
    StoreResult result;
    const std::string subject = UploadSubject(path);
    if (subject.empty()) {
        result.status = Status::FileError;
        return result;
    }
    if (!IsCleanText(subject)) {
        result.status = Status::BadName;
        return result;
    }
    // A subject longer than the table's cell could never be matched.
    if (subject.size() >= sizeof(MessageRow::subject)) {
        result.status = Status::RequestTooLarge;
        return result;
    }

    MessageTable table;
    InitMessageTable(table);
    report(StoreStage::Uploading);
    // Mails of the same subject already in the inbox: the search must wait
    // for the new one rather than take an older one for it. A failed look
    // leaves this empty and the upload goes on.
    std::vector<std::string> before;
    if (LookInInbox(session, table, subject, before) != Status::Ok) before.clear();

    result.status = UploadFile(session, path);
    if (result.status != Status::Ok) return result;
    report(StoreStage::Uploaded);

    std::vector<std::string> ids;
    result.status = WaitForDelivery(session, table, subject, before, options, ids);
    if (result.status != Status::Ok) return result;

    report(StoreStage::Moving);
    result.status = MoveMessages(session, MessageIdQueue(ids.begin(), ids.end()), targetFolderId);
    if (result.status != Status::Ok) return result;
    result.movedIds = std::move(ids);
    report(StoreStage::Done);
    return result;
}

}  // namespace session
