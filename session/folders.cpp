#include "session/folders.h"

#include "session/answer_rows.h"
#include "session/keyword_scanner.h"
#include "session/provider_directory.h"
#include "session/script_request.h"

namespace session {

namespace {
constexpr std::size_t kRequestBuffer = 1024;
constexpr std::size_t kListBodyBuffer = 500;
constexpr std::size_t kCreateBodyBuffer = 1024;
constexpr std::size_t kUpdateBodyBuffer = 5120;  // rename and delete
constexpr std::size_t kNewIdBuffer = 20;

// Guarded connect (6 s) and sends (25 s); blocking receives, byte for byte.
const ExchangeStyle kListStyle{Style::Guarded, 6, Style::Guarded, 25, Style::Plain, 0, AppendMode::Bytes, true};
const ExchangeStyle kPlainText{Style::Plain, 0, Style::Plain, 0, Style::Plain, 0, AppendMode::Text};

bool IsDecimal(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

Request GetAllFoldersRequest(const Session& session) {
    std::string body =
        "<?xml version=\"1.0\"?><object><boolean name=\"stats\">true</boolean>"
        "<boolean name=\"threads\">true</boolean></object>";
    return ScriptRequest(session, "mbox:getAllFolders", HeaderOrder::Short, body, kListBodyBuffer, kRequestBuffer);
}

Request CreateUserFolderRequest(const Session& session, const std::string& nameUtf8, const std::string& parentId) {
    // The closing CR LF belongs to the body and counts in its length.
    std::string body = "<?xml version=\"1.0\"?><object><array name=\"items\"><object><string name=\"name\">" +
                       XmlEscape(nameUtf8) + "</string>";
    if (!parentId.empty()) body += "<int name=\"parent\">" + XmlEscape(parentId) + "</int>";
    body += "</object></array></object>\r\n";
    return ScriptRequest(session, "mbox:createUserFolders", HeaderOrder::Long, body, kCreateBodyBuffer, kRequestBuffer);
}

Request RenameFolderRequest(const Session& session, const std::string& newNameUtf8, const std::string& folderId) {
    std::string body = "<?xml version=\"1.0\"?><object><array name=\"items\"><object><int name=\"id\">" +
                       XmlEscape(folderId) + "</int><string name=\"name\">" + XmlEscape(newNameUtf8) +
                       "</string></object></array></object>";
    return ScriptRequest(session, "mbox:updateFolders", HeaderOrder::Short, body, kUpdateBodyBuffer, kRequestBuffer);
}

Request DeleteFolderRequest(const Session& session, const std::string& folderId) {
    std::string body =
        "<?xml version=\"1.0\"?><object><array name=\"ids\"><int>" + XmlEscape(folderId) + "</int></array></object>";
    return ScriptRequest(session, "mbox:deleteFolders", HeaderOrder::Short, body, kUpdateBodyBuffer, kRequestBuffer);
}

Request MoveFolderRequest(const Session& session, const std::string& folderId, const std::string& parentId) {
    std::string body = "<?xml version=\"1.0\"?><object><array name=\"items\"><object><int name=\"id\">" +
                       XmlEscape(folderId) + "</int><int name=\"parent\">" +
                       XmlEscape(parentId.empty() ? "0" : parentId) + "</int></object></array></object>";
    return ScriptRequest(session, "mbox:updateFolders", HeaderOrder::Short, body, kUpdateBodyBuffer, kRequestBuffer);
}

std::string ReadNewFolderId(std::string_view body) {
    std::string id = FindVarValue(body);
    if (!IsDecimal(id) || id.size() > TextRoom(kNewIdBuffer)) return {};
    return id;
}

Status GetAllFolders(Session& session) {
    Answer answer;
    Status status = RunScript(session, GetAllFoldersRequest(session), kListStyle, answer);
    if (status != Status::Ok) return status;
    ReadFolderList(answer.Body(), session.folderTable);
    return Status::Ok;
}

Status GetAllFolders(Session& session, std::vector<FolderRow>& rows) {
    rows.clear();
    // About 300 bytes a folder in the fullest answer style.
    Answer answer(kMaxListedFolders * 320);
    Status status = RunScript(session, GetAllFoldersRequest(session), kListStyle, answer);
    if (status != Status::Ok) return status;
    rows.resize(kMaxListedFolders);
    rows.resize(ReadFolderRows(answer.Body(), rows.data(), rows.size()));
    return Status::Ok;
}

Status CreateUserFolder(Session& session, const std::string& nameUtf8, std::string& newId,
                        const std::string& parentId) {
    newId.clear();
    Answer answer;
    Status status = RunScript(session, CreateUserFolderRequest(session, nameUtf8, parentId), kPlainText, answer);
    if (status != Status::Ok) return status;
    newId = ReadNewFolderId(answer.Body());
    return newId.empty() ? Status::Unreadable : Status::Ok;
}

Status RenameFolder(Session& session, const std::string& newNameUtf8, const std::string& folderId) {
    Answer answer;
    return RunScript(session, RenameFolderRequest(session, newNameUtf8, folderId), kPlainText, answer);
}

Status DeleteFolder(Session& session, const std::string& folderId) {
    Answer answer;
    return RunScript(session, DeleteFolderRequest(session, folderId), kPlainText, answer);
}

Status MoveFolder(Session& session, const std::string& folderId, const std::string& parentId) {
    Answer answer;
    return RunScript(session, MoveFolderRequest(session, folderId, parentId), kPlainText, answer);
}

}  // namespace session
