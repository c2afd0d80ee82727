#include <filesystem>
#include <fstream>

#include "session/cells.h"
#include "session/download.h"
#include "session/exchange.h"
#include "session/folders.h"
#include "session/http_head.h"
#include "session/message_queries.h"
#include "session/script_request.h"
#include "session/signin.h"
#include "session/upload.h"
#include "signed_in_provider.h"

namespace providertest {

using session::Status;

Status SignInTo(session::Session& s, const testsupport::ProviderProcess& provider, const std::string& account,
                const std::string& password) {
    s.providerOverride = provider.Address();
    s.caFile = provider.CaFile();
    return session::SignIn(s, account, session::EntryForAccount(account), password);
}

int Reply::Code() const {
    return session::StatusCode(head);
}

std::string Reply::Header(std::string_view name) const {
    std::string_view value;
    return session::HeaderValue(head, name, value) ? std::string(value) : std::string();
}

namespace {
Reply Exchange(const session::Session& s, const session::Request& request) {
    const session::ExchangeStyle style{session::Style::Guarded, 10, session::Style::Guarded,   10,
                                       session::Style::Guarded, 10, session::AppendMode::Bytes};
    session::Answer answer(64 << 20);
    Reply reply;
    reply.status = session::Exchange(session::WebmailEndpoint(s), request, style, s.limits, answer);
    reply.head = answer.Header();
    reply.body = answer.Body();
    return reply;
}
}  // namespace

Reply Get(const session::Session& s, const std::string& target) {
    session::Request request(4096);
    request << "GET " << target << " HTTP/1.1\r\nHost: " << session::CellText(s.host) << "\r\nConnection: close\r\n"
            << session::CookieLine(s) << "\r\n\r\n";
    return Exchange(s, request);
}

Reply Call(const session::Session& s, const std::string& func, const std::string& body) {
    return Exchange(
        s, session::ScriptRequest(s, func, session::HeaderOrder::Short, body, body.size() + 1, body.size() + 4096));
}

std::string CodeOf(std::string_view body) {
    std::string code;
    return session::ScriptVerdict(body, code) == Status::Ok ? "S_OK" : code;
}

Status Upload(session::Session& s, const std::string& bytes, const std::string& name) {
    const std::string dir = testsupport::MakeTempDir("vantlo-provider-upload-");
    std::ofstream(dir + "/f", std::ios::binary) << bytes;
    const Status status = session::UploadFileRange(s, {dir + "/f", 0, bytes.size(), name}, {});
    testsupport::RemoveTree(dir);
    return status;
}

std::string UploadRequest(const session::Session& s, const std::string& composeId, const std::string& bytes) {
    const std::string delimiter = "-----------------------------7d95d2346050c";
    const std::string form = delimiter +
                             "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"f.bin\"\r\n\r\n" + bytes +
                             "\r\n" + delimiter + "--\r\n";
    return "POST /a/p/upload.html?sid=" + std::string(session::CellText(s.sid)) + "&composeId=" + composeId +
           " HTTP/1.1\r\nHost: " + std::string(session::CellText(s.host)) +
           "\r\nContent-Length: " + std::to_string(form.size()) +
           "\r\nContent-Type: multipart/form-data; boundary=" + delimiter.substr(2) + "\r\nConnection: Keep-Alive\r\n" +
           session::CookieLine(s) + "\r\n\r\n" + form;
}

std::string StoreFile(session::Session& s, const std::string* bytes, const std::string& subject,
                      const std::string& text, const std::string& name) {
    // An upload opens a compose session of its own.
    if ((bytes != nullptr ? Upload(s, *bytes, name) : session::GetComposeId(s)) != Status::Ok ||
        session::DeliverFile(s, subject, text, name, bytes != nullptr ? bytes->size() : 0) != Status::Ok)
        return std::string();
    // The provider files a delivery at once: the newest inbox mail is it.
    const session::MessagePage page = List(s, "1", 0, 1);
    return page.messages.empty() ? std::string() : page.messages[0].id;
}

std::string Fetch(session::Session& s, const std::string& messageId, Status* status) {
    std::string bytes;
    const Status fetched = session::FetchAttachment(s, messageId, 1 << 30, [&](const char* data, std::size_t size) {
        bytes.append(data, size);
        return true;
    });
    if (status != nullptr) *status = fetched;
    return fetched == Status::Ok ? bytes : std::string();
}

std::vector<session::FolderRow> Folders(session::Session& s) {
    std::vector<session::FolderRow> rows;
    EXPECT_EQ(session::GetAllFolders(s, rows), Status::Ok) << s.refusalCode;
    return rows;
}

const session::FolderRow* FolderById(const std::vector<session::FolderRow>& rows, const std::string& id) {
    for (const session::FolderRow& row : rows)
        if (id == row.id) return &row;
    return nullptr;
}

session::MessagePage List(session::Session& s, const std::string& folderId, std::uint64_t start, std::uint32_t limit) {
    session::MessagePage page;
    EXPECT_EQ(session::ListMessagePage(s, folderId, start, limit, page), Status::Ok) << s.refusalCode;
    return page;
}

std::vector<std::string> Ids(const session::MessagePage& page) {
    std::vector<std::string> ids;
    for (const session::MessageSummary& message : page.messages) ids.push_back(message.id);
    return ids;
}

session::MessageContent Read(session::Session& s, const std::string& messageId) {
    session::MessageContent content;
    EXPECT_EQ(session::ReadMessage(s, messageId, content), Status::Ok) << s.refusalCode;
    return content;
}

std::vector<std::string> KeysOf(std::string_view text) {
    std::vector<std::string> keys;
    int depth = 0;
    for (std::size_t at = text.find('{'); at < text.size(); ++at) {
        if (text[at] == '\'') {
            std::size_t end = at + 1;
            while (end < text.size() && text[end] != '\'') end += text[end] == '\\' ? 2 : 1;
            if (depth == 1 && text.substr(end + 1, 1) == ":") keys.emplace_back(text.substr(at + 1, end - at - 1));
            at = end;
        } else if (text[at] == '{' || text[at] == '[') {
            ++depth;
        } else if ((text[at] == '}' || text[at] == ']') && --depth == 0) {
            break;
        }
    }
    return keys;
}

}  // namespace providertest
