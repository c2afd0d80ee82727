// Storing a file: a compose session, the file as a multipart upload, then
// delivery of the mail to the account's own address with the file's name
// as its subject.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "session/session.h"
#include "session/status.h"

namespace session {

// The largest file an upload takes. The transfer counts are 32-bit, so a
// file of 2 GiB or more is refused before anything is sent.
constexpr std::uint64_t kLargestUpload = (std::uint64_t{1} << 31) - 1;

// Uploads the file at `path` and delivers it as the attachment of a mail to
// the account's own address whose subject is UploadSubject(path); the form
// names the file by that name alone. uploadIdle/uploadSent/uploadTotal
// move while bytes travel and are back to 1/0/0 on every return. Returns
// BadName, with nothing sent, for a name that is not clean UTF-8 text
// (IsCleanText), FileError when the file cannot be opened or read,
// FileTooLarge for 2 GiB or more, Refused when the provider refused the
// upload or the delivery (its code in session.refusalCode), TooSlow under
// the low-speed bound, else the exchange's own status.
Status UploadFile(Session& session, const std::filesystem::path& path);

// A stretch of a local file, uploaded as a file of its own named `name`.
struct FileRange {
    std::filesystem::path path;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;  // below 2 GiB
    std::string name;          // what the form calls the file; clean UTF-8 text
};

// Opens a compose session (session.composeId) and uploads the range to it
// as the form's file; the delivery that attaches it is DeliverFile
// (compose.h). `sent`, when given, hears how many of the range's bytes have
// gone out and may cancel (Status::Cancelled). Leaves the session's
// transfer counters alone, so parts may travel on several sessions at once.
// BadName for a name that is not clean text, FileTooLarge for 2 GiB or
// more, FileError when the range is not in the file; else as UploadFile.
Status UploadFileRange(Session& session, const FileRange& range, const std::function<bool(std::uint64_t)>& sent);

// Opens a compose session: sets session.composeId. Refused (composeId
// unchanged) when the answer holds no usable id.
Status GetComposeId(Session& session);

// Sends the composed mail, with the upload of session.composeId attached,
// to the account's own address. uploadTotal is the attachment's size.
Status DeliverUpload(Session& session, const std::string& subjectUtf8);

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

// The subject that UploadFile gives the mail of `path`: its file name,
// UTF-8 straight from the path's own encoding (UTF-16 on Windows).
std::string UploadSubject(const std::filesystem::path& path);

// The 26-character name the delivery gives the attachment: one draw of the
// generator per character (seeded with `seed`), taken modulo 61 onto
// "A".."Z", "a".."z", "1".."9". DeliverUpload seeds it with the current
// time in seconds, so two deliveries in the same second draw the same name.
std::string AttachmentName(std::uint32_t seed);

}  // namespace session
