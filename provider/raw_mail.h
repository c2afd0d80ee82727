// A message's whole source as webmail offers it for "下载邮件" (readdata.jsp
// with action=download_eml): an RFC 5322 message of MIME parts, the text
// body as stored and the attachment in base64, built from what the store keeps.
#pragma once

#include <cstdint>
#include <string>

#include "account_data.h"

namespace provider {

// The header and the text part, up to where the attachment's base64 begins
// (with its part header) or, for a message without one, the whole source
// but its closing boundary.
std::string RawMailHead(const MessageRecord& message, const std::string& boundary);
// What follows the attachment's base64 (or the text part): the closing boundary.
std::string RawMailTail(const std::string& boundary);

// Base64 in lines of 76 characters, each ended by CR LF; `bytes` a multiple
// of 57 except for the last piece of a stream.
std::string Base64Lines(const char* bytes, std::size_t length);

}  // namespace provider
