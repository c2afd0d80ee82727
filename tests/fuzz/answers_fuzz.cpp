// Feeds arbitrary bytes to every reader of the provider's answers: the
// scanner and the verdict of a script answer, the folder list and the new
// folder id, the sign-in header readers, and the body
// decoder (as chunks of a gzip body, and as a deflate body). Whatever
// arrives, nothing is read or written out of bounds, the tables keep their
// bounds, every cell stays a terminated text followed by zero bytes, and no
// body decodes past its limit.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "session/answer_rows.h"
#include "session/body_decoder.h"
#include "session/folders.h"
#include "session/row_reader.h"
#include "session/script_request.h"
#include "session/signin.h"

namespace {

using session::CellPlace, session::FolderRow;

template <class Row>
void CheckCells(const Row* rows, std::size_t count, std::initializer_list<CellPlace> cells) {
    for (std::size_t r = 0; r < count; ++r)
        for (const CellPlace& cell : cells) {
            const char* text = reinterpret_cast<const char*>(&rows[r]) + cell.offset;
            std::size_t i = 0;
            while (i < cell.capacity && text[i] != '\0') ++i;
            if (i == cell.capacity) __builtin_trap();  // not terminated
            for (; i < cell.capacity; ++i)
                if (text[i] != '\0') __builtin_trap();  // bytes behind the terminator
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    static session::FolderTable folders;
    static session::Session s;
    if (!folders.rows) session::InitFolderTable(folders);

    session::ClearFolderTable(folders);
    if (session::ReadFolderList(text, folders) > session::kFolderRows) __builtin_trap();
    CheckCells(folders.rows.get(), session::kFolderRows,
               {VANTLO_CELL(FolderRow, id), VANTLO_CELL(FolderRow, name), VANTLO_CELL(FolderRow, messageCount),
                VANTLO_CELL(FolderRow, messageSize), VANTLO_CELL(FolderRow, unreadMessageCount),
                VANTLO_CELL(FolderRow, unreadMessageSize), VANTLO_CELL(FolderRow, threadCount),
                VANTLO_CELL(FolderRow, unreadThreadCount)});
    std::string id = session::ReadNewFolderId(text);
    if (id.size() > 19 || id.find_first_not_of("0123456789") != std::string::npos) __builtin_trap();

    std::string refusal;
    (void)session::ScriptVerdict(text, refusal);
    (void)session::ReadSignInAnswer(s, text);
    (void)session::ReadEntryAnswer(s, text);
    if (!std::memchr(s.host, 0, sizeof s.host) || !std::memchr(s.sid, 0, sizeof s.sid) ||
        !std::memchr(s.accountName, 0, sizeof s.accountName))
        __builtin_trap();

    for (const char* head : {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Encoding: gzip",
                             "HTTP/1.1 200 OK\r\nContent-Encoding: deflate"}) {
        session::BodyDecoder decoder;
        std::size_t decoded = 0;
        if (decoder.Start(head, 65536) != session::Status::Ok) __builtin_trap();
        (void)decoder.Feed(text.data(), text.size(), [&](const char*, std::size_t n) { return (decoded += n), true; });
        if (decoded > 65536) __builtin_trap();
        (void)decoder.Finish();
    }
    return 0;
}
