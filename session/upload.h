// Storing a stretch of a file: a compose session, the bytes as a multipart
// upload, then (compose.cpp) delivery of the mail to the account's own
// address.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/byte_reader.h"
#include "session/session.h"
#include "session/status.h"

namespace session {

// The largest file an upload takes. The transfer counts are 32-bit, so a
// file of 2 GiB or more is refused before anything is sent.
constexpr std::uint64_t kLargestUpload = (std::uint64_t{1} << 31) - 1;

// A stretch of a local file, uploaded as a file of its own named `name`.
struct FileRange {
    std::filesystem::path path;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;  // below 2 GiB
    std::string name;          // what the form calls the file; clean UTF-8 text
    // When set, the bytes are read from it (at offset) instead of the file at path.
    std::shared_ptr<platform::ByteReader> reader{};
};

// Opens a compose session (session.composeId) and uploads the range to it
// as the form's file; the delivery that attaches it is DeliverFile
// (compose.h). `sent`, when given, hears how many of the range's bytes have
// gone out and may cancel (Status::Cancelled). Leaves the session's
// transfer counters alone, so parts may travel on several sessions at once.
// BadName for a name that is not clean text, FileTooLarge for 2 GiB or
// more, FileError when the range is not in the file or cannot be read, Refused when
// the provider refused the upload (its code in session.refusalCode), TooSlow
// under the low-speed bound, else the exchange's own status.
Status UploadFileRange(Session& session, const FileRange& range, const std::function<bool(std::uint64_t)>& sent);

// Opens a compose session: sets session.composeId. Refused (composeId
// unchanged) when the answer holds no usable id.
Status GetComposeId(Session& session);

// Delivers the upload of session.composeId (`size` bytes) as a mail to the
// account's own address with the subject, the plain text `text` as its body
// and the attachment named `attachmentName`. Keeps no sent copy: a stored
// file would otherwise take its room twice and show up a second time in
// every search. BadName for a subject or attachment name that is not
// clean text; RequestTooLarge, unsent, when the body would not fit.
Status DeliverFile(Session& session, const std::string& subjectUtf8, const std::string& text,
                   const std::string& attachmentName, std::uint64_t size);

// Where upload boundaries come from (27 dashes and 13 characters); none
// given means random ones. For tests that need to know the boundary.
void SetUploadBoundarySource(std::function<std::string()> source);

}  // namespace session
