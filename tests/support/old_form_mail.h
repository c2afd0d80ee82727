// Lays out a mail of the form earlier versions stored, for tests that need
// one beside the files stored in parts: the file as the attachment of a mail
// whose subject is its name, without a manifest, moved into a folder (left
// in the inbox when the folder is the inbox). Header only, so that the
// Windows-side tests can use it as well.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "session/message_moves.h"
#include "session/message_queries.h"
#include "session/upload.h"

namespace testsupport {

inline session::Status StoreOldFormMail(session::Session& s, const std::filesystem::path& path,
                                        const std::string& folderId) {
    using session::Status;
    const auto utf8 = path.filename().u8string();
    const std::string name(utf8.begin(), utf8.end());
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(path, error);
    if (error) return Status::FileError;
    Status status = session::UploadFileRange(s, {path, 0, size, name}, {});
    if (status == Status::Ok) status = session::DeliverFile(s, name, "", name, size);
    if (status != Status::Ok || folderId == "1") return status;
    // The stand-in provider files a delivery at once: the newest mail of the name is it.
    session::MessagePage page;
    status = session::ListMessagePage(s, "1", 0, session::kLargestPage, page);
    if (status != Status::Ok) return status;
    for (const session::MessageSummary& mail : page.messages)
        if (mail.subject == name) return session::MoveMessages(s, {mail.id}, folderId);
    return Status::NotFound;
}

}  // namespace testsupport
