// ls, mv, rm: the newest page of a folder, and moving or deleting messages.
#include <ostream>

#include "cli/command.h"
#include "cli/operation_arguments.h"
#include "session/cells.h"
#include "session/listing.h"
#include "session/message_moves.h"

namespace cli {
namespace {

using session::CellText;

// Checks every id before anything is sent; false after printing why not.
bool TakeMessageIds(Context& context, std::vector<std::string>::const_iterator first,
                    std::vector<std::string>::const_iterator last, session::MessageIdQueue& ids) {
    for (auto it = first; it != last; ++it) {
        if (!IsMessageId(*it)) {
            Fail(context, "not a message id: '" + OutputField(*it) + "'");
            return false;
        }
        ids.push_back(*it);
    }
    return true;
}

int RunLs(Context& context, const std::vector<std::string>& args) {
    const std::string& folderId = args[0];
    if (!IsFolderId(folderId)) return UsageError(context, "not a folder id: '" + OutputField(folderId) + "'");
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    session::Session& s = context.session;
    session::ClearMessageTable(s.messageTable);
    session::Status status = session::ListMessages(s, folderId, s.messageTable);
    if (status != session::Status::Ok) return OperationFailed(context, status, "list folder " + folderId);
    std::size_t rows = session::UsedMessageRows(s.messageTable);
    for (std::size_t i = 0; i < rows; ++i) {
        const session::MessageRow& row = s.messageTable.rows[i];
        context.out << CellText(row.id) << '\t' << CellText(row.size) << '\t' << CellText(row.attached) << '\t'
                    << CellText(row.receivedDate) << '\t' << OutputField(CellText(row.subject)) << '\n';
    }
    return kExitOk;
}

int RunMv(Context& context, const std::vector<std::string>& args) {
    const std::string& target = args[0];
    if (!IsFolderId(target)) return UsageError(context, "not a folder id: '" + OutputField(target) + "'");
    session::MessageIdQueue ids;
    if (!TakeMessageIds(context, args.begin() + 1, args.end(), ids)) return kExitUsage;
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    session::Status status = session::MoveMessages(context.session, ids, target);
    if (status != session::Status::Ok) return OperationFailed(context, status, "move the messages to folder " + target);
    return kExitOk;
}

int RunRm(Context& context, const std::vector<std::string>& args) {
    session::MessageIdQueue ids;
    if (!TakeMessageIds(context, args.begin(), args.end(), ids)) return kExitUsage;
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    session::Status status = session::DeleteMessages(context.session, ids);
    if (status != session::Status::Ok) return OperationFailed(context, status, "delete the messages");
    return kExitOk;
}

CommandRegistration ls({"ls", "FOLDER_ID", "list the newest 50 messages: ID, SIZE, ATTACHED, RECEIVED, SUBJECT", 1, 1,
                        false, RunLs});
CommandRegistration mv({"mv", "TARGET_FOLDER_ID MESSAGE_ID...", "move messages into a folder", 2, -1, false, RunMv});
CommandRegistration rm({"rm", "MESSAGE_ID...", "delete messages", 1, -1, false, RunRm});

}  // namespace
}  // namespace cli
