// A stored part as a real MIME message: multipart/mixed with the manifest
// as its text/plain body and the part's bytes as a base64 attachment named
// in RFC 2231 form, so any mail client shows it. The message is written in
// three pieces (head, the attachment's base64 lines, tail) whose exact
// total size is known before the first byte goes out, as APPEND's literal
// needs; the attachment is read from the file while it is sent.
#pragma once

#include <cstdint>
#include <string>

#include "catalog/mail_store.h"

namespace imap {

struct PartMessage {
    std::string head;              // headers, the text body, the attachment's headers
    std::uint64_t attachment = 0;  // bytes of base64 lines for the part
    std::string tail;              // the closing boundary
    std::uint64_t Size() const { return head.size() + attachment + tail.size(); }
};

// `messageId` without angle brackets; `boundary` must not occur in the text
// (it is random); `now` in UTC seconds.
PartMessage ComposePart(const catalog::PartUpload& part, const std::string& from, const std::string& messageId,
                        const std::string& boundary, std::int64_t now);

// "Mon, 07 Dec 2026 11:20:44 +0000"
std::string MailDate(std::int64_t utcSeconds);

// The source bytes per read when sending: whole base64 lines.
constexpr std::size_t kSendChunk = 57 * 1024;

}  // namespace imap
