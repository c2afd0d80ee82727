// Storing a file: a compose session, the file as a multipart upload, then
// delivery of the mail to the account's own address with the file's name
// as its subject.
#pragma once

#include <filesystem>
#include <string>

#include "session/session.h"
#include "session/status.h"

namespace session {

// uploadIdle/uploadSent/uploadTotal move while bytes travel and are back to
// 1/0/0 on every return.
Status UploadFile(Session& session, const std::filesystem::path& path);
Status GetComposeId(Session& session);
Status DeliverUpload(Session& session, const std::string& subjectUtf8);

// The subject that UploadFile gives the mail of `path`: its file name, UTF-8.
std::string UploadSubject(const std::filesystem::path& path);

}  // namespace session
